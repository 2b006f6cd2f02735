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
  // brings one more query into any window.
  explicit QueryBudget(double perSecond);

  // A new rate from now on (a fleet member's share of the account's budget
  // changes with the members); reserved moments stand.
  void SetRate(double perSecond);

  // Reserves the next moment a query may go at, not before `now`.
  SteadyTime Reserve(SteadyTime now);
  // A query about to go at `now` (after waiting for its reserved moment):
  // admitted and counted when the queries that really went leave room for
  // it in the last window (a late wake-up must not bring one more into
  // any); otherwise the moment to ask again. The window is the shortest
  // whole number of seconds (up to ten) in which the rate makes a nearly
  // whole number of queries: one second for 5 a second, three for 5 in
  // three seconds, so that a rate below one or between whole numbers is
  // used, not rounded down to the whole queries of one second.
  std::optional<SteadyTime> Admit(SteadyTime now);
  std::chrono::nanoseconds Interval() const;

 private:
  mutable std::mutex mutex_;  // guards every field below
  std::chrono::nanoseconds interval_{};
  std::chrono::nanoseconds window_{};
  std::size_t perWindow_ = 0;  // queries in any window; 0: no limit
  SteadyTime next_ = SteadyTime::min();
  std::deque<SteadyTime> sent_;  // the latest perWindow_ admitted moments
};

}  // namespace quillet
