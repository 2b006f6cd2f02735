#pragma once
// Schedules for wishes that wait for a sale opening: the first query is sent
// so that it reaches the service just after the opening on the service's
// clock, and while the wanted classes still show as not on sale, the next
// passes follow quickly for a few seconds.
#include <chrono>
#include <memory>
#include <string>

#include "grab/shared_service_clock.h"
#include "grab/wish_schedule.h"

namespace quillet {

struct SaleTimings {
  // A fresh estimate of the service's clock is taken this long before the
  // opening (at once when the opening is closer than that) ...
  std::chrono::seconds refreshBefore{30};
  // ... unless the one held was done at most this much earlier.
  std::chrono::seconds refreshSlack{5};
  // Extra lateness of the first query's arrival beyond the estimate's
  // uncertainty, so that it does not come early by a rounding.
  std::chrono::milliseconds lateBy{1};
  // The pause after a pass that still saw the classes not on sale, for this
  // long after the opening; then the normal pacing.
  std::chrono::milliseconds quickPause{50};
  std::chrono::milliseconds quickPassesFor{3000};
};

// The schedule of one wish that opens at `opening` (service time). An
// opening already past on this machine's clock starts at once, without an
// estimate. The estimate itself takes a few seconds: a front end that knows
// the opening is near can take it early with clock->Reading().
std::unique_ptr<WishSchedule> MakeSaleSchedule(std::shared_ptr<SharedServiceClock> clock, SystemTime opening,
                                               SaleTimings timings = {});

// Makes schedules for the wishes of a run, all reading one estimate of the
// service's clock. A wish without a start moment gets none.
WishScheduleFactory MakeSaleScheduleFactory(std::shared_ptr<SharedServiceClock> clock, SaleTimings timings = {});

}  // namespace quillet
