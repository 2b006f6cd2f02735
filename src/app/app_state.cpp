#include "app/app_state.h"

namespace quillet {

std::unique_ptr<AppState> InitAppState(const AppSettings& settings) {
  auto state = std::make_unique<AppState>();
  // The client loads the built-in station table as it is created.
  state->client = std::make_unique<BookingClient>(settings.serviceBaseAddress, state->cookieJar, settings.caFile);
  return state;
}

void ReleaseAppState(std::unique_ptr<AppState>& state) {
  if (!state) return;
  // No thread may outlive the state it uses.
  if (state->grab) {
    state->grab->StopAndJoinAll();
    state->grab.reset();
  }
  state->client.reset();
  for (std::string& answer : state->cellAnswers) answer.clear();
  state->orderDeadline.clear();
  {
    std::lock_guard lock(state->passengersMutex);
    state->loadedPassengers.clear();
  }
  state->cookieJar.SetText({});
  state.reset();
}

}  // namespace quillet
