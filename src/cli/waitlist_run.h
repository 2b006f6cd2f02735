#pragma once
// The waitlist side of a quillet-grab run: the keeper of the plan's first
// waitlist wish (the service holds one waitlist order per account), its
// events as output events, a filled order as a booking of its wish, and the
// cancellation of the order when grabbing books the wish first.
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "cli/event_output.h"
#include "cli/grab_run.h"
#include "cli/plan.h"
#include "grab/waitlist_keeper.h"

namespace quillet {
class BookingClient;
}

namespace quillet::cli {

class WaitlistRun : public WaitlistEvents {
 public:
  // `notifiers` hears a filled order as a booking, like the run does.
  WaitlistRun(EventOutput& output, GrabRun& run, GrabEvents& notifiers);
  ~WaitlistRun() override;

  // Before the wishes go to the session: makes the keeper of the plan's first
  // waitlist wish and ties that wish's workers to its filling; each further
  // waitlist wish is told that the account cannot hold a second order.
  // `wishes` are the plan's wishes in its order.
  void Prepare(BookingClient& client, const Plan& plan, std::vector<OrderWish>& wishes, WaitlistPacing pacing = {});
  void Start();
  // Called before a grab booking of a wish is reported.
  void BeforeBooked(std::size_t wishIndex);
  void Stop();

  // Told each change of a wish's waitlist order (the reserve number and
  // "waiting", "refused", "cancelled" or "expired"); set before the run starts.
  using PlaceListener = std::function<void(std::size_t wishIndex, const std::string& reserveNo, const char* state)>;
  void SetPlaceListener(PlaceListener listener) { placeListener_ = std::move(listener); }

  void OnWaitlisted(const WaitlistPlaced& placed) override;
  void OnWaitlistRefused(std::size_t wishIndex, const std::string& reason) override;
  void OnWaitlistCancelled(std::size_t wishIndex, const std::string& reserveNo) override;
  void OnWaitlistExpired(std::size_t wishIndex, const std::string& reserveNo) override;
  void OnWaitlistFilled(const OrderReport& order) override;

 private:
  EventOutput& output_;
  GrabRun& run_;
  GrabEvents& notifiers_;
  std::unique_ptr<WaitlistKeeper> keeper_;
  PlaceListener placeListener_;
};

}  // namespace quillet::cli
