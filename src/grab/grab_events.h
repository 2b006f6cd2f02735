#pragma once
// What grabbing tells the program. Every call may come from a launcher or
// worker thread, several at the same time; an implementation carries what it
// shows over to its own thread and never waits for a thread that may be
// joining the workers.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "grab/order_chain.h"

namespace quillet {

// The moment of an event, to the millisecond; front ends show it in China
// Standard Time.
using EventMoment = std::chrono::sys_time<std::chrono::milliseconds>;

// An order that went in (booked, or to be checked by hand) or was refused.
struct OrderReport {
  std::size_t wishIndex = 0;            // in the list of the start that ran it
  std::string train;                    // station train code
  std::string date;                     // yyyy-MM-dd
  std::string seatType;                 // the service's seat type code, "1"
  std::string seatName;                 // program text, "硬座"
  std::vector<std::string> passengers;  // names, program text
  std::string orderId;                  // empty when the service gave none
  std::string message;                  // the order chain's result text
  OrderOutcomeKind outcome = OrderOutcomeKind::kFailed;
  std::string serviceReason;  // the service's own words for a refusal, program text; may be empty
  EventMoment at{};           // when the chain ended
  std::string account;        // the session's account name (empty when not known)
};

class GrabEvents {
 public:
  virtual ~GrabEvents() = default;
  // A worker begins its attempt `count`; caption is "尝试次数：" + count.
  virtual void OnGrabAttempt(std::size_t /*wishIndex*/, std::uint32_t /*count*/, const std::string& /*caption*/) {}
  // One line for the log, ending in "\r\n".
  virtual void OnGrabLogLine(const std::string& /*line*/) {}
  // A left-ticket query of a wish's worker failed; `reason` is the query's text.
  virtual void OnQueryFailed(std::size_t /*wishIndex*/, const std::string& /*date*/, const std::string& /*reason*/) {}
  // An order chain ended without an order (the worker goes on); the reason is in `order.message`.
  virtual void OnOrderRefused(const OrderReport& /*order*/) {}
  // After the log line of the outcome.
  virtual void OnOrderBooked(const OrderReport& /*order*/) {}
  virtual void OnOrderNeedsManualCheck(const OrderReport& /*order*/) {}
  // The stop button has signalled every worker (they end on their own).
  virtual void OnGrabStopped() {}
  // The service no longer knows the sign-in (a worker's session check or
  // order was refused for it). Told once per lapse; the workers of party
  // wishes then wait until SignedInAgain or a stop.
  virtual void OnSessionLapsed() {}
  // Trains a party wish names that the service runs on none of its dates,
  // known once every date has answered a query; told once per wish.
  virtual void OnTrainsNotRunning(std::size_t /*wishIndex*/, const std::vector<std::string>& /*trains*/) {}
  // A party wish's worker ended without an order: none of its trains runs on
  // any of its dates (after OnTrainsNotRunning).
  virtual void OnWishWithoutTrains(std::size_t /*wishIndex*/) {}
};

}  // namespace quillet
