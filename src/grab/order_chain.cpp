#include "grab/order_chain.h"

#include "booking/client.h"
#include "grab/account_gate.h"
#include "grab/texts.h"
#include "util/wait.h"

namespace quillet {
namespace {

const std::string kTourFlag = "dc";
const std::string kQueuePurposeCodes = "00";
const std::string kRoomType = "00";
const std::string kDwAll = "N";
const std::string kStudentPurposeCodes = "0X00";
const std::string kAdultPurposeCodes = "ADULT";
constexpr int kOrderIdPolls = 3;

OrderOutcome Outcome(OrderOutcomeKind kind, std::string message, std::optional<AnswerVerdict> refusal = {}) {
  if (!refusal) return {kind, std::move(message), {}, {}};
  return {kind, std::move(message), std::move(refusal->reason), refusal->kind};
}

// A refusal that says the sign-in is gone (a lapsed session), as opposed to
// one about this order.
bool SaysNotSignedIn(const ServiceResult& result) {
  return result.kind == ServiceResultKind::kRefused && result.answer.kind == AnswerKind::kNotSignedIn;
}

// A refusal saying the account already holds an order that is not paid.
bool SaysUnpaidOrderPending(const ServiceResult& result) {
  return result.kind == ServiceResultKind::kRefused && result.answer.kind == AnswerKind::kUnpaidOrderPending;
}

// Whether a failed confirmation may have been carried out. Only the
// service's own refusal, or an exchange that ended before anything was sent
// (no connection, no TLS session), says that it was not.
bool MayHaveReachedService(const ServiceResult& result) {
  if (result.kind == ServiceResultKind::kRefused) return false;
  if (result.kind != ServiceResultKind::kTransportFailure) return true;
  return result.transport != ExchangeOutcome::kCouldNotConnect && result.transport != ExchangeOutcome::kTlsFailure;
}

std::vector<OrderPassenger> PartyOf(const GrabTask& task) {
  if (!task.party.empty()) return task.party;
  return {{task.passengerName, task.passengerType, task.idType, task.idNo}};
}

// choose_seats and seatDetailType for the class being ordered: the asked
// positions or berths when the class has them, otherwise none (the window's
// tasks never ask, and send what they always sent).
std::string ChooseSeatsFor(const GrabTask& task) {
  if (PositionsOfSeatClass(task.seatType).empty()) return {};
  return ChooseSeatsText(task.seatPositions);
}
std::string SeatDetailTypeFor(const GrabTask& task) {
  if (BerthsOfSeatClass(task.seatType).empty()) return SeatDetailTypeText({});
  return SeatDetailTypeText(task.berths);
}

OrderOutcome Abandoned() { return Outcome(OrderOutcomeKind::kAbandoned, {}); }

// The steps of one order. `inDoubt` is set once the chain holds the
// account's doubt (see AccountGate).
OrderOutcome RunSteps(BookingClient& client, GrabTask& task, const OrderChainSettings& settings,
                      const std::stop_token& stop, const std::stop_token& closing, bool& inDoubt) {
  namespace texts = grab_texts;
  // Up to and including GetQueueCount nothing is bought yet: a stop or a
  // close abandons the step in flight and ends the run.
  std::stop_source stopOrClose;
  std::stop_callback onStop(stop, [&stopOrClose] { stopOrClose.request_stop(); });
  std::stop_callback onClose(closing, [&stopOrClose] { stopOrClose.request_stop(); });
  const std::stop_token early = stopOrClose.get_token();
  const auto stopped = [&] { return Outcome(OrderOutcomeKind::kStopped, texts::ChainStopped()); };
  // The service's verdict, when its refusal decided the step.
  using Refusal = std::optional<AnswerVerdict>;
  const auto reasonOf = [](const ServiceResult& result) { return Refusal(result.answer); };
  const auto failed = [](std::string message, Refusal refusal = {}) {
    return Outcome(OrderOutcomeKind::kFailed, std::move(message), std::move(refusal));
  };
  const auto lapsed = [](std::string message, Refusal refusal = {}) {
    return Outcome(OrderOutcomeKind::kSessionLapsed, std::move(message), std::move(refusal));
  };
  const auto unpaid = [](std::string message, Refusal refusal) {
    return Outcome(OrderOutcomeKind::kManualCheck, std::move(message), std::move(refusal));
  };
  const auto held = [] { return Outcome(OrderOutcomeKind::kManualCheck, texts::AccountOrderInDoubt()); };
  AccountGate* gate = settings.accountGate;

  if (early.stop_requested()) return stopped();
  if (gate != nullptr) {
    const AccountGate::Pass pass = gate->WaitUntilClear(early);
    if (pass == AccountGate::Pass::kStopped) return stopped();
    if (pass == AccountGate::Pass::kHeld) return held();
  }

  const ServiceResult user = client.CheckUser(early);
  if (early.stop_requested()) return stopped();
  if (SaysNotSignedIn(user)) return lapsed(texts::CheckUserFailed());
  if (!user.Done()) return failed(texts::CheckUserFailed());

  const std::string& purposeCodes = task.ticketType == "3" ? kStudentPurposeCodes : kAdultPurposeCodes;
  const ServiceResult submitted =
      client.SubmitOrderRequest(task.secretStr, task.trainDate, settings.backTrainDate, purposeCodes,
                                task.fromStationName, task.toStationName, early);
  if (early.stop_requested()) return stopped();
  if (SaysNotSignedIn(submitted))
    return lapsed(texts::SubmitOrderFailedPrefix() + submitted.message, reasonOf(submitted));
  if (SaysUnpaidOrderPending(submitted))
    return unpaid(texts::SubmitOrderFailedPrefix() + submitted.message, reasonOf(submitted));
  if (!submitted.Done()) return failed(texts::SubmitOrderFailedPrefix() + submitted.message, reasonOf(submitted));

  OrderPageResult page = client.InitDc(early);
  task.repeatSubmitToken = std::move(page.values.repeatSubmitToken);
  task.leftTicketStr = std::move(page.values.leftTicketStr);
  task.trainDateMs = std::move(page.values.trainDateMs);
  task.keyCheckIsChange = std::move(page.values.keyCheckIsChange);
  if (early.stop_requested()) return stopped();
  if (!page.Done()) return failed(texts::InitDcFailed());

  OrderInfoResult info =
      client.CheckOrderInfo(task.seatType, task.ticketType, PartyOf(task), task.repeatSubmitToken, early);
  task.passengerTicketStr = std::move(info.passengerTicketStr);
  task.oldPassengerStr = std::move(info.oldPassengerStr);
  if (early.stop_requested()) return stopped();
  if (SaysNotSignedIn(info)) return lapsed(texts::CheckOrderInfoFailedPrefix() + info.message, reasonOf(info));
  if (SaysUnpaidOrderPending(info)) return unpaid(texts::CheckOrderInfoFailedPrefix() + info.message, reasonOf(info));
  if (!info.Done()) return failed(texts::CheckOrderInfoFailedPrefix() + info.message, reasonOf(info));

  const ServiceResult queue =
      client.GetQueueCount(task.trainDateMs, task.trainNo, task.stationTrainCode, task.seatType, task.fromTelecode,
                           task.toTelecode, task.leftTicket, kQueuePurposeCodes, task.repeatSubmitToken, early);
  if (early.stop_requested()) return stopped();
  if (SaysNotSignedIn(queue)) return lapsed(texts::QueueCountFailedPrefix() + queue.message, reasonOf(queue));
  if (SaysUnpaidOrderPending(queue)) return unpaid(texts::QueueCountFailedPrefix() + queue.message, reasonOf(queue));
  if (!queue.Done()) return failed(texts::QueueCountFailedPrefix() + queue.message, reasonOf(queue));

  if (gate != nullptr) {
    const AccountGate::Pass pass = gate->EnterDoubt(early);
    if (pass == AccountGate::Pass::kStopped) return stopped();
    if (pass == AccountGate::Pass::kHeld) return held();
    inDoubt = true;
  }

  // ConfirmSingleForQueue takes the ticket. From here on the stop button
  // does not abandon the run, neither its requests nor its waits, so that
  // its outcome is always learnt and reported; only closing the program does.
  const ServiceResult confirmed =
      client.ConfirmSingleForQueue(task.passengerTicketStr, task.oldPassengerStr, /*randCode=*/"", kQueuePurposeCodes,
                                   task.keyCheckIsChange, task.leftTicketStr, task.trainLocation, ChooseSeatsFor(task),
                                   SeatDetailTypeFor(task), kRoomType, kDwAll, task.repeatSubmitToken, closing);
  if (confirmed.kind == ServiceResultKind::kStopped) return Abandoned();
  if (SaysUnpaidOrderPending(confirmed))
    return unpaid(texts::ConfirmQueueFailedPrefix() + confirmed.message, reasonOf(confirmed));
  if (!confirmed.Done() && !MayHaveReachedService(confirmed)) {
    return failed(texts::ConfirmQueueFailedPrefix() + confirmed.message, reasonOf(confirmed));
  }
  // A confirmation whose answer was lost may have taken the ticket: the
  // polls below find out, and learning nothing is a manual check.
  const bool answerLost = !confirmed.Done();

  // An id an earlier confirmation of the account already learnt is the
  // service naming that order again, not this one's outcome.
  task.orderId.clear();
  for (int poll = 0; poll < kOrderIdPolls; ++poll) {
    std::string orderId = client.QueryOrderWaitTime(kTourFlag, task.repeatSubmitToken, closing).orderId;
    if (closing.stop_requested()) return Abandoned();
    if (!orderId.empty() && (gate == nullptr || !gate->KnowsOrderId(orderId))) {
      task.orderId = std::move(orderId);
      break;
    }
    if (!WaitUnlessStopped(closing, settings.pollWait)) return Abandoned();
  }
  if (task.orderId.empty()) {
    return Outcome(OrderOutcomeKind::kManualCheck, answerLost ? texts::ConfirmAnswerLost() : texts::WaitTimeFailed());
  }
  if (gate != nullptr) gate->NoteOrderId(task.orderId);

  const ServiceResult result = client.ResultOrderForDcQueue(task.orderId, task.repeatSubmitToken, closing);
  if (result.kind == ServiceResultKind::kStopped) return Abandoned();
  if (!result.Done()) return Outcome(OrderOutcomeKind::kManualCheck, texts::ResultFailed());
  return Outcome(OrderOutcomeKind::kBooked, texts::Success());
}

}  // namespace

OrderOutcome RunOrderChain(BookingClient& client, GrabTask& task, const OrderChainSettings& settings,
                           std::stop_token stop, std::stop_token closing) {
  bool inDoubt = false;
  OrderOutcome outcome = RunSteps(client, task, settings, stop, closing, inDoubt);
  if (settings.accountGate != nullptr) {
    settings.accountGate->Settle(inDoubt, outcome.kind == OrderOutcomeKind::kManualCheck);
  }
  return outcome;
}

}  // namespace quillet
