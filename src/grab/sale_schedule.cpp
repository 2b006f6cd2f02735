#include "grab/sale_schedule.h"

namespace quillet {
namespace {

using std::chrono::duration_cast;

class SaleSchedule : public WishSchedule {
 public:
  SaleSchedule(std::shared_ptr<SharedServiceClock> clock, SystemTime opening, SaleTimings timings)
      : clock_(std::move(clock)), opening_(opening), timings_(timings) {}

  bool WaitForFirstQuery(const std::stop_token& stop) override {
    const ScheduleClocks& clocks = clock_->Clocks();
    // An opening already past on this machine's clock starts at once; the
    // quick passes still cover the seconds after it, in case the service's
    // clock is behind.
    const SystemTime systemNow = clocks.systemNow();
    if (opening_ <= systemNow) {
      openingSteady_ = clocks.steadyNow() - duration_cast<SteadyTime::duration>(systemNow - opening_);
      return !stop.stop_requested();
    }
    std::optional<ServiceClockReading> reading = clock_->Reading(stop);
    if (!reading) return false;
    // Estimates age: one more shortly before the opening, when the one held
    // is older than that.
    const SteadyTime refreshAt = reading->estimate.SteadyTimeOf(opening_) - timings_.refreshBefore;
    if (reading->takenAt < refreshAt - timings_.refreshSlack) {
      if (!clocks.waitUntil(refreshAt, stop)) return false;
      reading = clock_->ReadingSince(refreshAt - timings_.refreshSlack, stop);
      if (!reading) return false;
    }
    const net::ServiceClockEstimate& estimate = reading->estimate;
    const SteadyTime sendAt = net::SendMomentFor(estimate, opening_, estimate.shortestRoundTrip / 2, timings_.lateBy);
    openingSteady_ = estimate.SteadyTimeOf(opening_);
    return clocks.waitUntil(sendAt, stop);
  }

  std::optional<std::chrono::milliseconds> PauseAfterIdlePass(bool sawNotOnSale) override {
    if (!sawNotOnSale || !openingSteady_) return std::nullopt;
    if (clock_->Clocks().steadyNow() >= *openingSteady_ + timings_.quickPassesFor) return std::nullopt;
    return timings_.quickPause;
  }

 private:
  const std::shared_ptr<SharedServiceClock> clock_;
  const SystemTime opening_;
  const SaleTimings timings_;
  // The opening on the steady clock, once known. The schedule belongs to
  // one worker and is used on its thread only.
  std::optional<SteadyTime> openingSteady_;
};

}  // namespace

std::unique_ptr<WishSchedule> MakeSaleSchedule(std::shared_ptr<SharedServiceClock> clock, SystemTime opening,
                                               SaleTimings timings) {
  return std::make_unique<SaleSchedule>(std::move(clock), opening, timings);
}

WishScheduleFactory MakeSaleScheduleFactory(std::shared_ptr<SharedServiceClock> clock, SaleTimings timings) {
  return [clock = std::move(clock), timings](const OrderWish& wish) -> std::unique_ptr<WishSchedule> {
    if (!wish.startAt) return nullptr;
    return MakeSaleSchedule(clock, *wish.startAt, timings);
  };
}

}  // namespace quillet
