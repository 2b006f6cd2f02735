#pragma once
// How the workers of one session pace their left-ticket queries so that a
// grab left running for days neither hammers a closed service nor gets the
// account blocked: nothing outside the service's hours (the first query
// after an opening reaches it just after the opening, on its clock), a
// shared back-off while the service throttles, and one budget of queries
// per second for all wishes and dates. Order steps are not paced.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <stop_token>
#include <string>

#include "booking/client.h"
#include "grab/order_chain.h"
#include "grab/query_budget.h"
#include "grab/service_hours.h"
#include "grab/shared_service_clock.h"
#include "grab/throttle.h"

namespace quillet {

struct PacerSettings {
  std::optional<ServiceHours> hours;  // none: the service is taken as always open
  double maxQueriesPerSecond = 5;     // 0: no budget
  ThrottleSettings throttle;
  // A throttled episode that lasts this long is told once more.
  std::chrono::seconds longEpisode{60};
  // Extra lateness of the first query after an opening, beyond the
  // estimate's uncertainty; and how long before the opening the estimate
  // of the service's clock is taken again when it is older.
  std::chrono::milliseconds lateBy{1};
  std::chrono::seconds refreshBefore{30};
};

// What the pacer tells the front end, on worker threads; each may be empty.
struct PacerReport {
  // The service is closed until `opening` (service time), once per closing;
  // `toldByService`: an order step was refused for it while the hours said open.
  std::function<void(SystemTime opening, bool toldByService)> closed;
  // A throttled episode began; the first pause.
  std::function<void(std::chrono::milliseconds pause)> throttled;
  // The episode has lasted `longEpisode` (once per episode).
  std::function<void(std::chrono::seconds soFar)> throttledLong;
  // Answers are normal again.
  std::function<void(std::chrono::seconds lasted)> throttleEnded;
  // The service moved the query (once per move).
  std::function<void(const std::string& path)> queryPathMoved;
};

class QueryPacer {
 public:
  // `clock` reads the service's clock for the hours; it may be null when
  // `settings.hours` is none.
  QueryPacer(PacerSettings settings, std::shared_ptr<SharedServiceClock> clock, PacerReport report);
  QueryPacer(const QueryPacer&) = delete;
  QueryPacer& operator=(const QueryPacer&) = delete;

  // Before each left-ticket query: waits while the service is closed, while
  // backing off and for the query's moment in the budget. The moment the
  // query goes; nothing when stopped first.
  std::optional<SteadyTime> BeforeQuery(const std::stop_token& stop);
  // The answer of a query sent at `sentAt`.
  void AfterQuery(const TrainsResult& result, SteadyTime sentAt);
  // An order step refused with `message`: true when it was the service's
  // closed-hours refusal, and the workers now wait for the next opening.
  bool AfterOrderRefused(const OrderOutcome& outcome, const std::stop_token& stop);

  // The account's queries are shared among `ways` processes (a fleet's
  // members, each from its own address): this one keeps 1/ways of the
  // budget, so that together they query as one machine would. 0 counts as 1.
  void ShareBudget(std::size_t ways);

  // When the latest request of the workers went (or a keep-alive check).
  SteadyTime LastActivity() const;
  void NoteActivity(SteadyTime moment);
  const ScheduleClocks& Clocks() const { return clocks_; }

 private:
  bool WaitWhileClosed(const std::stop_token& stop);
  bool WaitWhileBackingOff(const std::stop_token& stop);
  void TellLongEpisode(SteadyTime now);

  const PacerSettings settings_;
  const std::shared_ptr<SharedServiceClock> clock_;
  const PacerReport report_;
  const ScheduleClocks clocks_;
  QueryBudget budget_;

  mutable std::mutex mutex_;  // guards the fields below
  ThrottleBackoff backoff_;
  bool toldLong_ = false;
  std::mt19937 random_;
  std::optional<SystemTime> closedByServiceUntil_;
  std::optional<SystemTime> toldOpening_;
  SteadyTime lastActivity_;
};

}  // namespace quillet
