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

OrderOutcome Outcome(OrderOutcomeKind kind, OrderChainEnd end, const std::string& stepMessage = {},
                     std::optional<AnswerVerdict> refusal = {}) {
  std::string message = OrderChainEndText(end, stepMessage);
  if (!refusal) return {kind, std::move(message), {}, {}, end};
  return {kind, std::move(message), std::move(refusal->reason), refusal->kind, end};
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

OrderOutcome Abandoned() { return Outcome(OrderOutcomeKind::kAbandoned, OrderChainEnd::kAbandoned); }

// The steps of one order. `hasTurn` is set once the chain holds the
// account's turn (see AccountGate).
OrderOutcome RunSteps(BookingClient& client, GrabTask& task, const OrderChainSettings& settings,
                      const std::stop_token& stop, const std::stop_token& closing, bool& hasTurn) {
  using End = OrderChainEnd;
  // Up to and including GetQueueCount nothing is bought yet: a stop or a
  // close abandons the step in flight and ends the run.
  std::stop_source stopOrClose;
  std::stop_callback onStop(stop, [&stopOrClose] { stopOrClose.request_stop(); });
  std::stop_callback onClose(closing, [&stopOrClose] { stopOrClose.request_stop(); });
  const std::stop_token early = stopOrClose.get_token();
  const auto stopped = [&] { return Outcome(OrderOutcomeKind::kStopped, End::kStopped); };
  // The service's verdict, when its refusal decided the step.
  using Refusal = std::optional<AnswerVerdict>;
  const auto reasonOf = [](const ServiceResult& result) { return Refusal(result.answer); };
  const auto failed = [](End end, const std::string& stepMessage = {}, Refusal refusal = {}) {
    return Outcome(OrderOutcomeKind::kFailed, end, stepMessage, std::move(refusal));
  };
  const auto lapsed = [](End end, const std::string& stepMessage = {}, Refusal refusal = {}) {
    return Outcome(OrderOutcomeKind::kSessionLapsed, end, stepMessage, std::move(refusal));
  };
  const auto unpaid = [](End end, const std::string& stepMessage, Refusal refusal) {
    return Outcome(OrderOutcomeKind::kManualCheck, end, stepMessage, std::move(refusal));
  };
  const auto held = [] { return Outcome(OrderOutcomeKind::kManualCheck, End::kAccountInDoubt); };
  AccountGate* gate = settings.accountGate;

  if (early.stop_requested()) return stopped();
  if (gate != nullptr) {
    const AccountGate::Pass pass = gate->TakeTurn(early);
    if (pass == AccountGate::Pass::kStopped) return stopped();
    if (pass == AccountGate::Pass::kHeld) return held();
    hasTurn = true;
  }

  const ServiceResult user = client.CheckUser(early);
  if (early.stop_requested()) return stopped();
  if (SaysNotSignedIn(user)) return lapsed(End::kCheckUser);
  if (!user.Done()) return failed(End::kCheckUser);

  const std::string& purposeCodes = task.ticketType == "3" ? kStudentPurposeCodes : kAdultPurposeCodes;
  const ServiceResult submitted =
      client.SubmitOrderRequest(task.secretStr, task.trainDate, settings.backTrainDate, purposeCodes,
                                task.fromStationName, task.toStationName, early);
  if (early.stop_requested()) return stopped();
  if (SaysNotSignedIn(submitted)) return lapsed(End::kSubmitOrder, submitted.message, reasonOf(submitted));
  if (SaysUnpaidOrderPending(submitted)) return unpaid(End::kSubmitOrder, submitted.message, reasonOf(submitted));
  if (!submitted.Done()) return failed(End::kSubmitOrder, submitted.message, reasonOf(submitted));

  OrderPageResult page = client.InitDc(early);
  task.repeatSubmitToken = std::move(page.values.repeatSubmitToken);
  task.leftTicketStr = std::move(page.values.leftTicketStr);
  task.trainDateMs = std::move(page.values.trainDateMs);
  task.keyCheckIsChange = std::move(page.values.keyCheckIsChange);
  if (early.stop_requested()) return stopped();
  if (!page.Done()) return failed(End::kOrderPage);

  OrderInfoResult info =
      client.CheckOrderInfo(task.seatType, task.ticketType, PartyOf(task), task.repeatSubmitToken, early);
  task.passengerTicketStr = std::move(info.passengerTicketStr);
  task.oldPassengerStr = std::move(info.oldPassengerStr);
  if (early.stop_requested()) return stopped();
  if (SaysNotSignedIn(info)) return lapsed(End::kCheckOrderInfo, info.message, reasonOf(info));
  if (SaysUnpaidOrderPending(info)) return unpaid(End::kCheckOrderInfo, info.message, reasonOf(info));
  if (!info.Done()) return failed(End::kCheckOrderInfo, info.message, reasonOf(info));

  const ServiceResult queue =
      client.GetQueueCount(task.trainDateMs, task.trainNo, task.stationTrainCode, task.seatType, task.fromTelecode,
                           task.toTelecode, task.leftTicket, kQueuePurposeCodes, task.repeatSubmitToken, early);
  if (early.stop_requested()) return stopped();
  if (SaysNotSignedIn(queue)) return lapsed(End::kQueueCount, queue.message, reasonOf(queue));
  if (SaysUnpaidOrderPending(queue)) return unpaid(End::kQueueCount, queue.message, reasonOf(queue));
  if (!queue.Done()) return failed(End::kQueueCount, queue.message, reasonOf(queue));

  // ConfirmSingleForQueue takes the ticket. From here on the stop button
  // does not abandon the run, neither its requests nor its waits, so that
  // its outcome is always learnt and reported; only closing the program does.
  if (settings.beforeConfirm) {
    if (!settings.beforeConfirm(task)) return failed(End::kConfirm, grab_texts::ConfirmNotNoted());
    // Noting it may take a while: a stop meanwhile still sends nothing.
    if (early.stop_requested()) return stopped();
  }
  const ServiceResult confirmed =
      client.ConfirmSingleForQueue(task.passengerTicketStr, task.oldPassengerStr, /*randCode=*/"", kQueuePurposeCodes,
                                   task.keyCheckIsChange, task.leftTicketStr, task.trainLocation, ChooseSeatsFor(task),
                                   SeatDetailTypeFor(task), kRoomType, kDwAll, task.repeatSubmitToken, closing);
  if (confirmed.kind == ServiceResultKind::kStopped) return Abandoned();
  if (SaysUnpaidOrderPending(confirmed)) return unpaid(End::kConfirm, confirmed.message, reasonOf(confirmed));
  if (!confirmed.Done() && !MayHaveReachedService(confirmed)) {
    return failed(End::kConfirm, confirmed.message, reasonOf(confirmed));
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
    return Outcome(OrderOutcomeKind::kManualCheck, answerLost ? End::kConfirmAnswerLost : End::kNoOrderId);
  }
  if (gate != nullptr) gate->NoteOrderId(task.orderId);

  const ServiceResult result = client.ResultOrderForDcQueue(task.orderId, task.repeatSubmitToken, closing);
  if (result.kind == ServiceResultKind::kStopped) return Abandoned();
  if (!result.Done()) return Outcome(OrderOutcomeKind::kManualCheck, End::kOrderResult);
  return Outcome(OrderOutcomeKind::kBooked, End::kBooked);
}

}  // namespace

std::string OrderChainEndText(OrderChainEnd end, const std::string& stepMessage) {
  namespace texts = grab_texts;
  switch (end) {
    case OrderChainEnd::kBooked:
      return texts::Success();
    case OrderChainEnd::kStopped:
      return texts::ChainStopped();
    case OrderChainEnd::kAbandoned:
      return {};
    case OrderChainEnd::kAccountInDoubt:
      return texts::AccountOrderInDoubt();
    case OrderChainEnd::kCheckUser:
      return texts::CheckUserFailed();
    case OrderChainEnd::kSubmitOrder:
      return texts::SubmitOrderFailedPrefix() + stepMessage;
    case OrderChainEnd::kOrderPage:
      return texts::InitDcFailed();
    case OrderChainEnd::kCheckOrderInfo:
      return texts::CheckOrderInfoFailedPrefix() + stepMessage;
    case OrderChainEnd::kQueueCount:
      return texts::QueueCountFailedPrefix() + stepMessage;
    case OrderChainEnd::kConfirm:
      return texts::ConfirmQueueFailedPrefix() + stepMessage;
    case OrderChainEnd::kConfirmAnswerLost:
      return texts::ConfirmAnswerLost();
    case OrderChainEnd::kNoOrderId:
      return texts::WaitTimeFailed();
    case OrderChainEnd::kOrderResult:
      return texts::ResultFailed();
  }
  return {};
}

OrderOutcome RunOrderChain(BookingClient& client, GrabTask& task, const OrderChainSettings& settings,
                           std::stop_token stop, std::stop_token closing) {
  bool hasTurn = false;
  OrderOutcome outcome = RunSteps(client, task, settings, stop, closing, hasTurn);
  if (settings.accountGate != nullptr) {
    settings.accountGate->Settle(hasTurn, outcome.kind == OrderOutcomeKind::kManualCheck);
  }
  return outcome;
}

}  // namespace quillet
