#include "grab/query_budget.h"

#include <algorithm>
#include <cmath>

namespace quillet {
namespace {

constexpr double kMargin = 1.02;
// A little more than the window's seconds, for the way to the service: the
// service counts arrivals, and on a busy machine a query admitted earlier
// may leave later than the one admitted a window after it.
constexpr auto kWayToTheService = std::chrono::milliseconds(50);
constexpr int kLongestWindowSeconds = 10;

std::chrono::nanoseconds IntervalFor(double perSecond) {
  if (perSecond <= 0) return std::chrono::nanoseconds::zero();
  return std::chrono::nanoseconds(static_cast<long long>(1e9 * kMargin / perSecond));
}

struct Window {
  int seconds = 1;
  std::size_t queries = 0;
};

// The whole seconds that lose the least of the rate when its queries in
// them are counted whole; the shortest of equals.
Window WindowFor(double perSecond) {
  Window best;
  if (perSecond <= 0) return best;
  double bestLoss = 1;
  for (int seconds = 1; seconds <= kLongestWindowSeconds; ++seconds) {
    const double exact = perSecond * seconds;
    const double whole = std::floor(exact + 1e-6);
    if (whole < 1) continue;
    const double loss = (exact - whole) / exact;
    if (loss < bestLoss - 1e-3) {
      bestLoss = loss;
      best = Window{seconds, static_cast<std::size_t>(whole)};
    }
  }
  return best;
}

}  // namespace

QueryBudget::QueryBudget(double perSecond) { SetRate(perSecond); }

void QueryBudget::SetRate(double perSecond) {
  const Window window = WindowFor(perSecond);
  std::lock_guard lock(mutex_);
  interval_ = IntervalFor(perSecond);
  window_ = std::chrono::seconds(window.seconds) + kWayToTheService;
  perWindow_ = window.queries;
  while (sent_.size() > perWindow_) sent_.pop_front();
}

std::chrono::nanoseconds QueryBudget::Interval() const {
  std::lock_guard lock(mutex_);
  return interval_;
}

std::optional<SteadyTime> QueryBudget::Admit(SteadyTime now) {
  std::lock_guard lock(mutex_);
  if (perWindow_ == 0) return std::nullopt;
  if (sent_.size() >= perWindow_) {
    const SteadyTime free = sent_.front() + window_;
    if (now < free) return free;
    sent_.pop_front();
  }
  sent_.push_back(now);
  return std::nullopt;
}

SteadyTime QueryBudget::Reserve(SteadyTime now) {
  std::lock_guard lock(mutex_);
  if (interval_ == std::chrono::nanoseconds::zero()) return now;
  const SteadyTime slot = std::max(now, next_);
  next_ = slot + interval_;
  return slot;
}

}  // namespace quillet
