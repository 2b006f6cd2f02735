#include "grab/order_chain.h"

#include <cstdio>

#include "booking/client.h"
#include "grab/texts.h"
#include "grab/wait.h"
#include "util/codepage.h"

namespace quillet {
namespace {

const std::string kTourFlag = "dc";
const std::string kQueuePurposeCodes = "00";
const std::string kSeatDetailType = "000";
const std::string kRoomType = "00";
const std::string kDwAll = "N";
const std::string kStudentPurposeCodes = "0X00";
const std::string kAdultPurposeCodes = "ADULT";
constexpr int kOrderIdPolls = 3;

OrderOutcome Outcome(OrderOutcomeKind kind, std::string message) { return {kind, std::move(message)}; }

OrderOutcome Abandoned(const GrabTask& task) {
  std::fputs(UnreportedOrderLine(task).c_str(), stderr);
  std::fflush(stderr);
  return Outcome(OrderOutcomeKind::kAbandoned, {});
}

}  // namespace

std::string UnreportedOrderLine(const GrabTask& task) {
  return "an order for " + Utf8FromGbk(task.stationTrainCode) + " on " + Utf8FromGbk(task.trainDate) + " (" +
         Utf8FromGbk(task.passengerName) + ") was submitted; check the account's unpaid orders\n";
}

OrderOutcome RunOrderChain(BookingClient& client, GrabTask& task, const OrderChainSettings& settings,
                           std::stop_token stop, std::stop_token closing) {
  namespace texts = grab_texts;
  // Up to and including GetQueueCount nothing is bought yet: a stop or a
  // close abandons the step in flight and ends the run.
  std::stop_source stopOrClose;
  std::stop_callback onStop(stop, [&stopOrClose] { stopOrClose.request_stop(); });
  std::stop_callback onClose(closing, [&stopOrClose] { stopOrClose.request_stop(); });
  const std::stop_token early = stopOrClose.get_token();
  const auto stopped = [&] { return Outcome(OrderOutcomeKind::kStopped, texts::ChainStopped()); };
  const auto failed = [](std::string message) { return Outcome(OrderOutcomeKind::kFailed, std::move(message)); };

  if (early.stop_requested()) return stopped();

  const ServiceResult user = client.CheckUser(early);
  if (early.stop_requested()) return stopped();
  if (!user.Done()) return failed(texts::CheckUserFailed());

  const std::string& purposeCodes = task.ticketType == "3" ? kStudentPurposeCodes : kAdultPurposeCodes;
  const ServiceResult submitted = client.SubmitOrderRequest(task.secretStr, task.trainDate, settings.backTrainDate,
                                                            purposeCodes, task.fromStationName, task.toStationName,
                                                            early);
  if (early.stop_requested()) return stopped();
  if (!submitted.Done()) return failed(texts::SubmitOrderFailedPrefix() + submitted.message);

  OrderPageResult page = client.InitDc(early);
  task.repeatSubmitToken = std::move(page.values.repeatSubmitToken);
  task.leftTicketStr = std::move(page.values.leftTicketStr);
  task.trainDateMs = std::move(page.values.trainDateMs);
  task.keyCheckIsChange = std::move(page.values.keyCheckIsChange);
  if (early.stop_requested()) return stopped();
  if (!page.Done()) return failed(texts::InitDcFailed());

  OrderInfoResult info = client.CheckOrderInfo(
      task.seatType, task.ticketType, {task.passengerName, task.passengerType, task.idType, task.idNo},
      task.repeatSubmitToken, early);
  task.passengerTicketStr = std::move(info.passengerTicketStr);
  task.oldPassengerStr = std::move(info.oldPassengerStr);
  if (early.stop_requested()) return stopped();
  if (!info.Done()) return failed(texts::CheckOrderInfoFailedPrefix() + info.message);

  const ServiceResult queue =
      client.GetQueueCount(task.trainDateMs, task.trainNo, task.stationTrainCode, task.seatType, task.fromTelecode,
                           task.toTelecode, task.leftTicket, kQueuePurposeCodes, task.repeatSubmitToken, early);
  if (early.stop_requested()) return stopped();
  if (!queue.Done()) return failed(texts::QueueCountFailedPrefix() + queue.message);

  // ConfirmSingleForQueue takes the ticket. From here on the stop button
  // does not abandon the run, neither its requests nor its waits, so that
  // its outcome is always learnt and reported; only closing the program does.
  const ServiceResult confirmed = client.ConfirmSingleForQueue(
      task.passengerTicketStr, task.oldPassengerStr, /*randCode=*/"", kQueuePurposeCodes, task.keyCheckIsChange,
      task.leftTicketStr, task.trainLocation, /*chooseSeats=*/"", kSeatDetailType, kRoomType, kDwAll,
      task.repeatSubmitToken, closing);
  if (confirmed.kind == ServiceResultKind::kStopped) return Abandoned(task);
  if (!confirmed.Done()) return failed(texts::ConfirmQueueFailedPrefix() + confirmed.message);

  task.orderId.clear();
  for (int poll = 0; poll < kOrderIdPolls; ++poll) {
    task.orderId = client.QueryOrderWaitTime(kTourFlag, task.repeatSubmitToken, closing).orderId;
    if (closing.stop_requested()) return Abandoned(task);
    if (!task.orderId.empty()) break;
    if (!WaitUnlessStopped(closing, settings.pollWait)) return Abandoned(task);
  }
  if (task.orderId.empty()) return Outcome(OrderOutcomeKind::kManualCheck, texts::WaitTimeFailed());

  const ServiceResult result = client.ResultOrderForDcQueue(task.orderId, task.repeatSubmitToken, closing);
  if (result.kind == ServiceResultKind::kStopped) return Abandoned(task);
  if (!result.Done()) return Outcome(OrderOutcomeKind::kManualCheck, texts::ResultFailed());
  return Outcome(OrderOutcomeKind::kBooked, texts::Success());
}

}  // namespace quillet
