#include "grab/order_chain.h"

#include <thread>

#include "booking/client.h"
#include "grab/texts.h"

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

}  // namespace

std::string RunOrderChain(BookingClient& client, GrabTask& task, const OrderChainSettings& settings,
                          std::stop_token stop) {
  namespace texts = grab_texts;
  // Up to and including GetQueueCount nothing is bought yet: a stop abandons
  // the step in flight and ends the run.
  if (stop.stop_requested()) return texts::ChainStopped();

  std::string result = client.CheckUser(stop);
  if (stop.stop_requested()) return texts::ChainStopped();
  if (result != texts::Success()) return texts::CheckUserFailed();

  const std::string& purposeCodes = task.ticketType == "3" ? kStudentPurposeCodes : kAdultPurposeCodes;
  result = client.SubmitOrderRequest(task.secretStr, task.trainDate, settings.backTrainDate, purposeCodes,
                                     task.fromStationName, task.toStationName, stop);
  if (stop.stop_requested()) return texts::ChainStopped();
  if (result != texts::Success()) return texts::SubmitOrderFailedPrefix() + result;

  result = client.InitDc(task.repeatSubmitToken, task.leftTicketStr, task.trainDateMs, task.keyCheckIsChange, stop);
  if (stop.stop_requested()) return texts::ChainStopped();
  if (result != texts::Success()) return texts::InitDcFailed();

  result = client.CheckOrderInfo(task.seatType, task.ticketType, task.passengerName, task.passengerType, task.idType,
                                 task.idNo, task.passengerTicketStr, task.oldPassengerStr, task.repeatSubmitToken,
                                 stop);
  if (stop.stop_requested()) return texts::ChainStopped();
  if (result != texts::Success()) return texts::CheckOrderInfoFailedPrefix() + result;

  result = client.GetQueueCount(task.trainDateMs, task.trainNo, task.stationTrainCode, task.seatType,
                                task.fromTelecode, task.toTelecode, task.leftTicket, kQueuePurposeCodes,
                                task.repeatSubmitToken, stop);
  if (stop.stop_requested()) return texts::ChainStopped();
  if (result != texts::Success()) return texts::QueueCountFailedPrefix() + result;

  // ConfirmSingleForQueue takes the ticket. From here on the run is not
  // abandoned, neither its requests nor its waits, so that its outcome is
  // always learnt and reported.
  result = client.ConfirmSingleForQueue(task.passengerTicketStr, task.oldPassengerStr, /*randCode=*/"",
                                        kQueuePurposeCodes, task.keyCheckIsChange, task.leftTicketStr,
                                        task.trainLocation, /*chooseSeats=*/"", kSeatDetailType, kRoomType, kDwAll,
                                        task.repeatSubmitToken);
  if (result != texts::Success()) return texts::ConfirmQueueFailedPrefix() + result;

  task.orderId.clear();
  for (int poll = 0; poll < kOrderIdPolls; ++poll) {
    task.orderId = client.QueryOrderWaitTime(kTourFlag, task.repeatSubmitToken);
    if (!task.orderId.empty()) break;
    std::this_thread::sleep_for(settings.pollWait);
  }
  if (task.orderId.empty()) return texts::WaitTimeFailed();

  result = client.ResultOrderForDcQueue(task.orderId, task.repeatSubmitToken);
  return result == texts::Success() ? texts::Success() : texts::ResultFailed();
}

}  // namespace quillet
