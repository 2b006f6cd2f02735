#pragma once
// The program-wide state shared by the window, the passenger-loading thread
// and the grab workers. Exactly one exists, for the life of the program.
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "booking/client.h"
#include "booking/records.h"
#include "grab/grab_controller.h"
#include "net/cookies.h"

namespace quillet {

struct AppSettings {
  std::string serviceBaseAddress = kRealServiceAddress;
  std::string caFile;  // extra certificate authority bundle, may be empty
};

struct AppState {
  // Created in this order by InitAppState; the cookie jar comes first because
  // the client refers to it.
  CookieJar cookieJar;
  std::unique_ptr<BookingClient> client;
  std::array<std::string, 8> cellAnswers;  // cellAnswer1 .. cellAnswer8
  std::string orderDeadline;

  // Written by the passenger-loading thread, read by the order dialog.
  mutable std::mutex passengersMutex;
  std::vector<PassengerRecord> loadedPassengers;

  // The grab launcher and workers (the worker handle list lives inside). Set
  // up by the purchase page, which owns the window side of grabbing.
  std::unique_ptr<GrabController> grab;

  std::vector<PassengerRecord> PassengersSnapshot() const {
    std::lock_guard lock(passengersMutex);
    return loadedPassengers;
  }
};

// Creates the state and its client (the client loads the station table).
std::unique_ptr<AppState> InitAppState(const AppSettings& settings);
// Ends every worker (signalled and joined) before anything is freed, then
// frees the state in the program's order.
void ReleaseAppState(std::unique_ptr<AppState>& state);

}  // namespace quillet
