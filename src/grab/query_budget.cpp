#include "grab/query_budget.h"

#include <algorithm>

namespace quillet {
namespace {

constexpr double kMargin = 1.02;
// One second and a little more for the way to the service.
constexpr auto kWindow = std::chrono::milliseconds(1020);

std::chrono::nanoseconds IntervalFor(double perSecond) {
  if (perSecond <= 0) return std::chrono::nanoseconds::zero();
  return std::chrono::nanoseconds(static_cast<long long>(1e9 * kMargin / perSecond));
}

}  // namespace

QueryBudget::QueryBudget(double perSecond)
    : interval_(IntervalFor(perSecond)), perWindow_(perSecond >= 1 ? static_cast<std::size_t>(perSecond) : 0) {}

std::optional<SteadyTime> QueryBudget::Admit(SteadyTime now) {
  if (perWindow_ == 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  if (sent_.size() >= perWindow_) {
    const SteadyTime free = sent_.front() + kWindow;
    if (now < free) return free;
    sent_.pop_front();
  }
  sent_.push_back(now);
  return std::nullopt;
}

SteadyTime QueryBudget::Reserve(SteadyTime now) {
  if (interval_ == std::chrono::nanoseconds::zero()) return now;
  std::lock_guard lock(mutex_);
  const SteadyTime slot = std::max(now, next_);
  next_ = slot + interval_;
  return slot;
}

}  // namespace quillet
