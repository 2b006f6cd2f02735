#pragma once
// One account's budget of left-ticket queries: every worker of a session
// takes its queries' moments from it, spread evenly, so that several wishes
// and dates share the rate instead of multiplying it.
#include <chrono>
#include <deque>
#include <mutex>
#include <optional>

#include "grab/shared_service_clock.h"

namespace quillet {

class QueryBudget {
 public:
  // `perSecond` 0 or less: no budget. The moments keep a small margin (2%)
  // below the budget, so that the jitter of the way to the service never
  // brings one more query into any second.
  explicit QueryBudget(double perSecond);

  // Reserves the next moment a query may go at, not before `now`.
  SteadyTime Reserve(SteadyTime now);
  // A query about to go at `now` (after waiting for its reserved moment):
  // admitted and counted when the queries that really went leave room for
  // it in the last second (a late wake-up must not bring one more into any
  // second); otherwise the moment to ask again.
  std::optional<SteadyTime> Admit(SteadyTime now);
  std::chrono::nanoseconds Interval() const { return interval_; }

 private:
  const std::chrono::nanoseconds interval_;
  const std::size_t perWindow_;  // queries in any second; 0: no limit
  std::mutex mutex_;             // guards the two fields below
  SteadyTime next_ = SteadyTime::min();
  std::deque<SteadyTime> sent_;  // the latest perWindow_ admitted moments
};

}  // namespace quillet
