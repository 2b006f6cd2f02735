#pragma once
// Keeps the orders of one account apart: one order chain at a time, from
// its first request to its outcome. The service keeps one order page per
// session (its repeat-submit token), so a second chain's order page voids
// the token of a chain that is confirming or polling for its order id; that
// chain would learn nothing of an order that may stand. A confirmed order
// whose answer was lost may stand at the service too; once an outcome stays
// unknown (a manual check) the account may hold an order, so no wish of it
// orders again until the person has looked (a new start).
//
// It also remembers the order ids the account's confirmations have learnt.
// The service's order-id poll answers the session's latest order, so after a
// confirmation that never reached it the poll names an earlier order of the
// account; that id is not this confirmation's outcome.
#include <condition_variable>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>

namespace quillet {

class AccountGate {
 public:
  enum class Pass {
    kClear,    // go on
    kHeld,     // an order of the account ended unknown: do not order
    kStopped,  // the stop token was triggered while waiting
  };

  // Waits while another order of the account is under way; on kClear the
  // caller's order goes and the others wait for it until Settle.
  Pass TakeTurn(const std::stop_token& stop);
  // An order chain ended: `leaveTurn` when it had taken its turn, `unknown`
  // when its outcome is to be checked by hand (the account is then held).
  // One step, so that no waiting order slips in between.
  void Settle(bool leaveTurn, bool unknown);
  bool Held() const;
  // A new start: the person has looked at the account.
  void Release();

  // Order ids learnt by earlier confirmations of the account; kept across
  // starts, as the service keeps answering them.
  void NoteOrderId(const std::string& orderId);
  bool KnowsOrderId(const std::string& orderId) const;

 private:
  mutable std::mutex mutex_;  // guards the three fields below
  bool busy_ = false;         // an order chain of the account is under way
  bool held_ = false;
  std::set<std::string> learntOrderIds_;
  std::condition_variable_any changed_;
};

}  // namespace quillet
