#pragma once
// When a worker queries: a hook for wishes that wait for a sale opening.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

#include "grab/order_wish.h"

namespace quillet {

class WishSchedule {
 public:
  virtual ~WishSchedule() = default;
  // Runs on the worker's thread before its first query; returns when the
  // first query should be sent, false when stopped first.
  virtual bool WaitForFirstQuery(const std::stop_token& stop) = 0;
  // The pause after a pass that ordered nothing, when it differs from the
  // normal pacing (quick passes just after the opening while the wanted
  // classes still show as not on sale); none: the normal pacing.
  virtual std::optional<std::chrono::milliseconds> PauseAfterIdlePass(bool sawNotOnSale) = 0;
};

// Makes the schedule of a wish that has a start moment; called on the
// worker's thread. May return null (no schedule: query at once).
using WishScheduleFactory = std::function<std::unique_ptr<WishSchedule>(const OrderWish&)>;

}  // namespace quillet
