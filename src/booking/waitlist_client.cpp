// The client's waitlist operations.
#include "booking/answers.h"
#include "booking/client.h"
#include "booking/requests.h"
#include "booking/service_paths.h"
#include "net/encoding.h"
#include "util/text.h"

namespace quillet {

namespace {

const std::string kPost = "POST";

ServiceResultKind KindOf(ExchangeOutcome transport, const std::stop_token& stop, WaitlistVerdict verdict) {
  if (stop.stop_requested() || transport == ExchangeOutcome::kStopped) return ServiceResultKind::kStopped;
  if (transport != ExchangeOutcome::kOk) return ServiceResultKind::kTransportFailure;
  switch (verdict) {
    case WaitlistVerdict::kAccepted:
      return ServiceResultKind::kDone;
    case WaitlistVerdict::kRefused:
      return ServiceResultKind::kRefused;
    case WaitlistVerdict::kNoValidAnswer:
      break;
  }
  return ServiceResultKind::kNoValidAnswer;
}

template <typename Result = ServiceResult>
Result Judged(ExchangeOutcome transport, const std::stop_token& stop, const WaitlistReading& reading) {
  Result result;
  result.transport = transport;
  result.kind = KindOf(transport, stop, reading.verdict);
  result.message = reading.reason;
  if (reading.verdict == WaitlistVerdict::kAccepted) result.answer = {AnswerKind::kAccepted, {}};
  if (reading.verdict == WaitlistVerdict::kRefused) result.answer = RefusalFor(reading.reason);
  return result;
}

}  // namespace

std::string WaitlistSecretList(const std::vector<WaitlistPick>& picks) {
  std::string list;
  for (const WaitlistPick& pick : picks) list += pick.secretStr + "%23" + UrlEncode(pick.seatType) + "%7C";
  return list;
}

std::string WaitlistPartyText(const std::vector<WaitlistMember>& party) {
  std::string text;
  for (const WaitlistMember& m : party) text += m.name + "#" + m.idType + "#" + m.idNo + "#" + m.ticketType + ";";
  return UrlEncode(text);
}

WaitlistTrainsResult BookingClient::QueryWaitlistTrains(bool studentPurpose, const std::string& trainDate,
                                                        const std::string& fromStation, const std::string& toStation,
                                                        std::stop_token stop) {
  const Exchanged answer = ExchangeText(
      LeftTicketQueryPath(trainDate, StationQueryValue(fromStation), StationQueryValue(toStation), studentPurpose), "",
      "", headers_.query, stop);
  std::vector<WaitlistTrain> trains;
  const WaitlistReading reading = ReadWaitlistTrains(answer.text, *stations_, trains);
  auto result = Judged<WaitlistTrainsResult>(answer.outcome, stop, reading);
  if (result.Done()) result.trains = std::move(trains);
  return result;
}

WaitlistCheckResult BookingClient::CheckWaitlistParty(const std::vector<WaitlistPick>& picks, std::stop_token stop) {
  const Exchanged answer = ExchangeText(service_paths::kWaitlistCheck, kPost,
                                        "secretList=" + WaitlistSecretList(picks) + "&_json_att=", headers_.xhr, stop);
  const WaitlistCheckReading reading = ReadWaitlistCheck(answer.text);
  auto result = Judged<WaitlistCheckResult>(answer.outcome, stop, reading);
  result.faceCheck = reading.faceCheck;
  return result;
}

WaitlistChancesResult BookingClient::WaitlistChances(const std::vector<WaitlistPick>& picks, std::stop_token stop) {
  const Exchanged answer =
      ExchangeText(service_paths::kWaitlistChances, kPost,
                   "successSecret=" + WaitlistSecretList(picks) + "&_json_att=", headers_.xhr, stop);
  WaitlistChancesReading reading = ReadWaitlistChances(answer.text);
  auto result = Judged<WaitlistChancesResult>(answer.outcome, stop, reading);
  if (result.Done()) result.chances = std::move(reading.chances);
  return result;
}

ServiceResult BookingClient::SubmitWaitlist(const std::vector<WaitlistPick>& picks, std::stop_token stop) {
  const Exchanged answer = ExchangeText(service_paths::kWaitlistSubmit, kPost,
                                        "secretList=" + WaitlistSecretList(picks) + "&_json_att=", headers_.xhr, stop);
  return Judged(answer.outcome, stop, ReadWaitlistSubmit(answer.text));
}

ServiceResult BookingClient::ConfirmWaitlist(const std::vector<WaitlistMember>& party, const std::string& deadline,
                                             std::stop_token stop) {
  const std::string body = "passengers=" + WaitlistPartyText(party) + "&jzParam=" + UrlEncode(deadline) + "&_json_att=";
  const Exchanged answer = ExchangeText(service_paths::kWaitlistConfirm, kPost, body, headers_.xhr, stop);
  return Judged(answer.outcome, stop, ReadWaitlistConfirm(answer.text));
}

WaitlistQueueResult BookingClient::QueryWaitlistQueue(std::stop_token stop) {
  const Exchanged answer = ExchangeText(service_paths::kWaitlistQueue, kPost, "_json_att=", headers_.xhr, stop);
  WaitlistQueueReading reading = ReadWaitlistQueue(answer.text);
  auto result = Judged<WaitlistQueueResult>(answer.outcome, stop, reading);
  if (result.Done()) result.reserveNo = std::move(reading.reserveNo);
  return result;
}

WaitlistStateResult BookingClient::QueryWaitlistState(const std::string& reserveNo, std::stop_token stop) {
  const Exchanged answer = ExchangeText(service_paths::kWaitlistState, kPost,
                                        "reserve_no=" + UrlEncode(reserveNo) + "&_json_att=", headers_.xhr, stop);
  WaitlistStateReading reading = ReadWaitlistState(answer.text);
  auto result = Judged<WaitlistStateResult>(answer.outcome, stop, reading);
  if (result.Done()) {
    result.status = reading.status;
    result.orderId = std::move(reading.orderId);
    result.train = std::move(reading.train);
    result.seatType = std::move(reading.seatType);
    result.deadline = std::move(reading.deadline);
  }
  return result;
}

ServiceResult BookingClient::CancelWaitlist(const std::string& reserveNo, std::stop_token stop) {
  const Exchanged answer = ExchangeText(service_paths::kWaitlistCancel, kPost,
                                        "reserve_no=" + UrlEncode(reserveNo) + "&_json_att=", headers_.xhr, stop);
  return Judged(answer.outcome, stop, ReadWaitlistCancel(answer.text));
}

}  // namespace quillet
