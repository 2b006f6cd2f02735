#pragma once
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "booking/answer_verdict.h"
#include "grab/grab_task.h"

namespace quillet {

class AccountGate;
class BookingClient;

struct OrderChainSettings {
  std::string backTrainDate;                 // the program's reference date, yyyy-MM-dd
  std::chrono::milliseconds pollWait{2000};  // wait after each empty order-id answer
  AccountGate* accountGate = nullptr;        // the signed-in account's, shared by its workers; none: no gate
  // Asked just before the confirmation goes, from when the order may stand
  // at the service (a fleet writes it down for the others); false: it must
  // not go, and the chain ends as failed with nothing placed. May be empty.
  std::function<bool(const GrabTask&)> beforeConfirm{};
};

enum class OrderOutcomeKind {
  kBooked,         // the service reported the order as placed
  kManualCheck,    // an order may stand at the service (or the account holds one): the user must look
  kFailed,         // no order was placed; `message` says why
  kSessionLapsed,  // no order was placed: the service no longer knows the sign-in
  kStopped,        // stopped before anything was submitted
  kAbandoned,      // the program is closing: submitted, outcome not learnt
};

// Where and how an order chain ended: the step that decided it, or its end.
enum class OrderChainEnd {
  kBooked,             // the order result was accepted
  kStopped,            // stopped before anything was submitted
  kAbandoned,          // the program is closing
  kAccountInDoubt,     // another order of the account has an unknown outcome
  kCheckUser,          // the session check failed
  kSubmitOrder,        // the order request failed
  kOrderPage,          // the order page could not be read
  kCheckOrderInfo,     // the order's passengers were not accepted
  kQueueCount,         // the queue count failed
  kConfirm,            // the confirmation failed
  kConfirmAnswerLost,  // the confirmation's answer was lost and no order id came
  kNoOrderId,          // confirmed, but no order id came
  kOrderResult,        // the order result failed
};

struct OrderOutcome {
  OrderOutcomeKind kind = OrderOutcomeKind::kFailed;
  std::string message;                // OrderChainEndText(end, the step's message): "成功" or the reason
  std::string serviceReason;          // the service's own words, when a refusal of the service decided it
  std::optional<AnswerKind> refusal;  // that refusal's kind
  OrderChainEnd end = OrderChainEnd::kCheckUser;
};

// The text of a chain's end, as the log has always had it; `stepMessage` is
// the failed step's message where the text carries one (the order request,
// the passengers, the queue count and the confirmation).
std::string OrderChainEndText(OrderChainEnd end, const std::string& stepMessage = {});

// Places one order for the task's train, passenger and seat type.
//
// Once ConfirmSingleForQueue may have reached the service, a lost or
// unreadable answer is not taken for a refusal: the order-id polls ask what
// became of it, and when they learn nothing the outcome is a manual check.
// A refusal saying that the account still holds an unpaid order is a manual
// check at once. With an account gate, the chain waits before it starts
// while another order of the account is under way (one order page per
// session), and does not order at all once an outcome of the account stayed
// unknown (a manual check naming that reason).
//
// `stop` (the stop button) is honoured before the chain starts and up to
// ConfirmSingleForQueue; once that step is under way the chain runs to its
// end so that a bought ticket is always reported. `closing` (the program
// ends) is honoured at every step: past the confirmation the requests and
// polls end at once and the outcome is kAbandoned, for the caller to name the
// submitted order so that it is not lost from the person's view.
OrderOutcome RunOrderChain(BookingClient& client, GrabTask& task, const OrderChainSettings& settings,
                           std::stop_token stop = {}, std::stop_token closing = {});

}  // namespace quillet
