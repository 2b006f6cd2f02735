#pragma once
// What grabbing tells the program, as values: what happened, when, and (once
// the session has stamped it) for which account. Front ends make the words.
// Every call may come from a launcher or worker thread, several at the same
// time; an implementation carries what it shows over to its own thread and
// never waits for a thread that may be joining the workers.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "booking/answer_verdict.h"
#include "booking/service_result.h"
#include "grab/order_chain.h"

namespace quillet {

// The moment of an event, to the millisecond; front ends show it in China
// Standard Time.
using EventMoment = std::chrono::sys_time<std::chrono::milliseconds>;

EventMoment EventMomentNow();

// A start has launched its workers.
struct GrabStart {
  EventMoment at{};
  std::string account;  // the session's account name (empty when not known)
};

// A worker begins an attempt (a pass of queries) for its wish.
struct GrabAttempt {
  std::size_t wishIndex = 0;  // in the list of the start that ran it
  std::uint32_t attempt = 0;  // counted from 1 by the worker of this start
  EventMoment at{};
  std::string account;
};

// A left-ticket query of a wish's worker that did not come back with trains.
struct QueryFailure {
  std::size_t wishIndex = 0;
  std::string date;  // yyyy-MM-dd
  ServiceResultKind kind = ServiceResultKind::kNoValidAnswer;
  AnswerVerdict answer;  // the deciding answer: its kind and the service's words
  std::string message;   // the client's message for the result, program text
  EventMoment at{};
  std::string account;
};

// An order that went in (booked, or to be checked by hand), was refused, or
// was submitted but left without an outcome as the program closed.
struct OrderReport {
  std::size_t wishIndex = 0;            // in the list of the start that ran it
  std::string train;                    // station train code
  std::string date;                     // yyyy-MM-dd
  std::string seatType;                 // the service's seat type code, "1"
  std::string seatName;                 // program text, "硬座"
  std::vector<std::string> passengers;  // names, program text
  std::string orderId;                  // empty when the service gave none
  std::string message;                  // the order chain's result text, OrderChainEndText of `end`
  OrderOutcomeKind outcome = OrderOutcomeKind::kFailed;
  OrderChainEnd end = OrderChainEnd::kBooked;
  std::string serviceReason;  // the service's own words for a refusal, program text; may be empty
  EventMoment at{};           // when the chain ended
  std::string account;        // the session's account name (empty when not known)
};

// When a party wish's worker will query next, told as it begins the pause
// after a pass.
struct NextQuery {
  std::size_t wishIndex = 0;
  EventMoment at{};
};

// The best a pass of a party wish's queries saw for one wanted seat class.
struct ClassSeen {
  std::string seatType;  // the service's code
  std::string tickets;   // the service's text ("有", "12", "无", "候补" ...); empty when no train showed it
  std::string train;     // the train that showed it
  std::string date;      // yyyy-MM-dd
};

// A pass of a party wish's queries ended without an order going in.
struct PassSeen {
  std::size_t wishIndex = 0;
  std::vector<ClassSeen> classes;  // one per wanted class, in the wish's order
  EventMoment at{};
};

// The stop button has signalled every worker.
struct GrabStop {
  EventMoment at{};
  std::string account;
};

// The service no longer knows the sign-in.
struct SessionLapse {
  EventMoment at{};
  std::string account;
};

// Trains a party wish names that the service runs on none of its dates.
struct TrainsNotRunning {
  std::size_t wishIndex = 0;
  std::vector<std::string> trains;  // station train codes
  EventMoment at{};
  std::string account;
};

// A party wish's worker ended without an order: none of its trains runs.
struct WishWithoutTrains {
  std::size_t wishIndex = 0;
  EventMoment at{};
  std::string account;
};

class GrabEvents {
 public:
  virtual ~GrabEvents() = default;
  // A start launched its workers (not told for a start stopped while launching).
  virtual void OnGrabStarted(const GrabStart& /*start*/) {}
  virtual void OnGrabAttempt(const GrabAttempt& /*attempt*/) {}
  // Told by the workers of party wishes.
  virtual void OnQueryFailed(const QueryFailure& /*failure*/) {}
  // Told by the workers of party wishes.
  virtual void OnNextQuery(const NextQuery& /*next*/) {}
  virtual void OnPassSeen(const PassSeen& /*pass*/) {}
  // An order chain ended without an order (the worker goes on); the reason is in `order.message`.
  virtual void OnOrderRefused(const OrderReport& /*order*/) {}
  virtual void OnOrderBooked(const OrderReport& /*order*/) {}
  virtual void OnOrderNeedsManualCheck(const OrderReport& /*order*/) {}
  // The program closed while the order's outcome was being learnt: it was
  // submitted and may stand at the service. Told on the worker's thread while
  // the session closes, so a front end that posts to a window that is closing
  // must show it some other way.
  virtual void OnOrderAbandoned(const OrderReport& /*order*/) {}
  // The stop button has signalled every worker (they end on their own).
  virtual void OnGrabStopped(const GrabStop& /*stop*/) {}
  // The service no longer knows the sign-in (a worker's session check or
  // order was refused for it). Told once per lapse; the workers of party
  // wishes then wait until SignedInAgain or a stop.
  virtual void OnSessionLapsed(const SessionLapse& /*lapse*/) {}
  // Trains a party wish names that the service runs on none of its dates,
  // known once every date has answered a query; told once per wish.
  virtual void OnTrainsNotRunning(const TrainsNotRunning& /*notRunning*/) {}
  // A party wish's worker ended without an order: none of its trains runs on
  // any of its dates (after OnTrainsNotRunning).
  virtual void OnWishWithoutTrains(const WishWithoutTrains& /*without*/) {}
};

}  // namespace quillet
