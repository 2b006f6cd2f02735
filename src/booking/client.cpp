#include "booking/client.h"

#include <algorithm>

#include "booking/answers.h"
#include "booking/date_text.h"
#include "booking/service_paths.h"
#include "booking/texts.h"
#include "net/encoding.h"
#include "net/http.h"
#include "util/text.h"

namespace quillet {

namespace texts = booking_texts;

namespace {

const std::string kPost = "POST";
const std::string kGet;  // a GET leaves the method to its default
const std::string kNoBody;
const std::string kJsonAtt = "_json_att=";
const std::string kTokenPiece = "&_json_att=&REPEAT_SUBMIT_TOKEN=";

namespace paths = service_paths;

// Judges an operation from its exchange and its reader's text. The message
// is always the reader's text, so a failure shows what it always showed.
ServiceResult Judged(ExchangeOutcome transport, const std::stop_token& stop, std::string readerText,
                     bool noValidAnswer) {
  ServiceResult result;
  result.transport = transport;
  if (stop.stop_requested() || transport == ExchangeOutcome::kStopped) {
    result.kind = ServiceResultKind::kStopped;
  } else if (transport != ExchangeOutcome::kOk) {
    result.kind = ServiceResultKind::kTransportFailure;
  } else if (readerText == texts::Success()) {
    result.kind = ServiceResultKind::kDone;
  } else {
    result.kind = noValidAnswer ? ServiceResultKind::kNoValidAnswer : ServiceResultKind::kRefused;
  }
  result.message = std::move(readerText);
  return result;
}

// A reader that gives success or the reason after a marker: an answer
// without a reason is not one the operation knows.
ServiceResult JudgedWithReason(ExchangeOutcome transport, const std::stop_token& stop, std::string readerText) {
  const bool noReason = readerText.empty();
  return Judged(transport, stop, std::move(readerText), noReason);
}

template <typename Result>
Result WithValues(ServiceResult judged) {
  Result result;
  static_cast<ServiceResult&>(result) = std::move(judged);
  return result;
}

}  // namespace

BookingClient::BookingClient(std::string serviceBaseAddress, CookieJar& cookieJar, std::string caFile)
    : serviceBaseAddress_(std::move(serviceBaseAddress)),
      cookieJar_(cookieJar),
      caFile_(std::move(caFile)),
      headers_(serviceBaseAddress_) {
  stations_.LoadStations();
}

HttpExchangeResult BookingClient::Exchange(const std::string& path, const std::string& method, const std::string& body,
                                           const std::string& headerBlock, const std::stop_token& stop,
                                           bool freshConnection) const {
  if (stop.stop_requested()) return {ExchangeOutcome::kStopped, 0, {}};
  ExchangeOptions options;
  options.stop = stop;
  options.extraCaFile = caFile_;
  options.reuseConnections = reuseConnections_ && !freshConnection;
  options.deadline = exchangeDeadline_;
  std::string methodText = method;
  std::string headers = headerBlock;
  return SendHttpRequest(serviceBaseAddress_ + path, methodText, body, cookieJar_, headers, false, {}, {}, options);
}

BookingClient::Exchanged BookingClient::ExchangeText(const std::string& path, const std::string& method,
                                                     const std::string& body, const std::string& headerBlock,
                                                     const std::stop_token& stop, bool freshConnection) const {
  HttpExchangeResult answer = Exchange(path, method, body, headerBlock, stop, freshConnection);
  return {answer.outcome, Utf8BytesToText(answer.body)};
}

void BookingClient::SetLastResponse(std::string text) {
  std::lock_guard lock(stateMutex_);
  lastResponse_ = std::move(text);
  lastResponseIsUtf8_ = false;
}

void BookingClient::SetLastResponseUtf8(std::string_view utf8) {
  std::lock_guard lock(stateMutex_);
  lastResponse_.assign(utf8);  // keeps its room: grab passes set answers of the same size again and again
  lastResponseIsUtf8_ = true;
}

std::string BookingClient::LastResponse() const {
  std::lock_guard lock(stateMutex_);
  return lastResponseIsUtf8_ ? Utf8BytesToText(lastResponse_) : lastResponse_;
}

std::string BookingClient::RepeatSubmitToken() const {
  std::lock_guard lock(stateMutex_);
  return repeatSubmitToken_;
}

CaptchaResult BookingClient::FetchCaptcha(std::stop_token stop) {
  // The login page only gives the session its first cookies.
  Exchange(paths::kLoginPage, kGet, kNoBody, headers_.page, stop);
  HttpExchangeResult picture = Exchange(paths::kCaptchaPicture, kGet, kNoBody, headers_.captcha, stop);
  // Any picture counts: the window shows whatever bytes came.
  auto result = WithValues<CaptchaResult>(Judged(picture.outcome, stop, texts::Success(), false));
  result.picture = std::move(picture.body);
  return result;
}

ServiceResult BookingClient::Login(const std::string& userName, const std::string& password,
                                   const std::string& captchaAnswer, std::stop_token stop) {
  Exchanged answer = ExchangeText(
      paths::kCaptchaCheck, kPost,
      ConcatTexts(std::string_view("randCode="), captchaAnswer, std::string_view("&rand=sjrand")), headers_.xhr, stop);
  const bool captchaRight = CaptchaAccepted(answer.text);
  SetLastResponse(std::move(answer.text));
  if (!captchaRight) {
    ServiceResult result = Judged(answer.outcome, stop, texts::CaptchaWrong(), false);
    if (result.kind != ServiceResultKind::kStopped) result.kind = ServiceResultKind::kCaptchaRefused;
    return result;
  }

  answer = ExchangeText(paths::kLogin, kPost, LoginBody(userName, password, captchaAnswer), headers_.xhr, stop);
  std::string reason;
  const bool accepted = LoginAccepted(answer.text, reason);
  SetLastResponse(std::move(answer.text));
  if (!accepted) return Judged(answer.outcome, stop, std::move(reason), false);

  // The confirmation's answer is not examined.
  answer = ExchangeText(paths::kLoginConfirm, kPost, kJsonAtt, headers_.xhr, stop);
  SetLastResponse(std::move(answer.text));
  return Judged(ExchangeOutcome::kOk, {}, texts::Success(), false);
}

ServiceResult BookingClient::CheckUser(std::stop_token stop) {
  const Exchanged answer = ExchangeText(paths::kCheckUser, kPost, kJsonAtt, headers_.xhr, stop);
  std::string readerText = ReadCheckUser(answer.text);
  // Only a plain "no" means the sign-in is gone; a garbled answer says nothing about it.
  const bool noValidAnswer = readerText != texts::Success() && answer.text.find("flag\":false") == std::string::npos;
  return Judged(answer.outcome, stop, std::move(readerText), noValidAnswer);
}

PassengersResult BookingClient::LoadPassengers(std::stop_token stop) {
  Exchanged page = ExchangeText(paths::kOrderPage, kPost, kJsonAtt, headers_.xhr, stop);
  const std::string token = ReadPageToken(page.text);
  {
    std::lock_guard lock(stateMutex_);
    lastResponse_ = std::move(page.text);
    lastResponseIsUtf8_ = false;
    repeatSubmitToken_ = token;
  }

  Exchanged answer =
      ExchangeText(paths::kPassengers, kPost, ConcatTexts(std::string_view("_json_att=&REPEAT_SUBMIT_TOKEN="), token),
                   headers_.passenger, stop);
  std::vector<PassengerRecord> passengers;
  std::string readerText = ReadPassengers(answer.text, passengers);
  const bool noValidAnswer = readerText == texts::NoValidAnswer();
  SetLastResponse(std::move(answer.text));
  auto result = WithValues<PassengersResult>(Judged(answer.outcome, stop, std::move(readerText), noValidAnswer));
  if (result.Done()) result.passengers = std::move(passengers);
  return result;
}

TrainsResult BookingClient::QueryLeftTickets(bool studentPurpose, const std::string& trainDate,
                                             const std::string& fromStation, const std::string& toStation,
                                             std::stop_token stop, std::span<const std::string> onlyTrains) {
  const HttpExchangeResult answer = Exchange(
      LeftTicketQueryPath(trainDate, StationQueryValue(fromStation), StationQueryValue(toStation), studentPurpose),
      kGet, kNoBody, headers_.query, stop);
  std::vector<TrainRecord> trains;
  std::string_view utf8List;
  if (!onlyTrains.empty() && ReadWantedLeftTickets(answer.body, onlyTrains, stations_, trains, utf8List)) {
    SetLastResponseUtf8(utf8List);
    auto result = WithValues<TrainsResult>(Judged(answer.outcome, stop, texts::Success(), false));
    if (result.Done()) result.trains = std::move(trains);
    return result;
  }

  std::string text = Utf8BytesToText(answer.body);
  std::string readerText = ReadLeftTickets(text, stations_, trains);
  const bool noValidAnswer = readerText == texts::NoValidAnswer();
  SetLastResponse(std::move(text));
  if (!onlyTrains.empty()) {
    std::erase_if(trains, [onlyTrains](const TrainRecord& train) {
      return std::find(onlyTrains.begin(), onlyTrains.end(), train.stationTrainCode) == onlyTrains.end();
    });
  }
  auto result = WithValues<TrainsResult>(Judged(answer.outcome, stop, std::move(readerText), noValidAnswer));
  if (result.Done()) result.trains = std::move(trains);
  return result;
}

ServiceResult BookingClient::SubmitOrderRequest(const std::string& secretStr, const std::string& trainDate,
                                                const std::string& backTrainDate, const std::string& purposeCodes,
                                                const std::string& fromStationName, const std::string& toStationName,
                                                std::stop_token stop) {
  const std::string body = ConcatTexts(
      std::string_view("secretStr="), secretStr, std::string_view("&train_date="), trainDate,
      std::string_view("&back_train_date="), backTrainDate, std::string_view("&tour_flag=dc&purpose_codes="),
      purposeCodes, std::string_view("&query_from_station_name="), fromStationName,
      std::string_view("&query_to_station_name="), toStationName, std::string_view("&undefined"));
  const Exchanged answer = ExchangeText(paths::kSubmitOrderRequest, kPost, body, headers_.xhr, stop);
  return JudgedWithReason(answer.outcome, stop, ReadSubmitOrderRequest(answer.text));
}

OrderPageResult BookingClient::InitDc(std::stop_token stop) {
  const Exchanged page = ExchangeText(paths::kOrderPage, kPost, kJsonAtt, headers_.xhr, stop);
  OrderPageValues values;
  std::string readerText = ReadInitDc(page.text, values);
  // A page without the left-ticket text is not the order page.
  auto result = WithValues<OrderPageResult>(Judged(page.outcome, stop, std::move(readerText), true));
  result.values = std::move(values);
  return result;
}

OrderInfoResult BookingClient::CheckOrderInfo(const std::string& seatType, const std::string& ticketType,
                                              const OrderPassenger& passenger, const std::string& repeatSubmitToken,
                                              std::stop_token stop) {
  return CheckOrderInfo(seatType, ticketType, std::vector<OrderPassenger>{passenger}, repeatSubmitToken, stop);
}

OrderInfoResult BookingClient::CheckOrderInfo(const std::string& seatType, const std::string& ticketType,
                                              const std::vector<OrderPassenger>& passengers,
                                              const std::string& repeatSubmitToken, std::stop_token stop) {
  // Each old-passenger text already ends in "_"; the ticket texts get one between them.
  std::string passengerTicketStr;
  std::string oldPassengerStr;
  for (const OrderPassenger& passenger : passengers) {
    if (!passengerTicketStr.empty()) passengerTicketStr += '_';
    passengerTicketStr += PassengerTicketText(seatType, ticketType, passenger.name, passenger.idType, passenger.idNo);
    oldPassengerStr += OldPassengerText(passenger.name, passenger.idType, passenger.idNo, passenger.passengerType);
  }
  const std::string body = ConcatTexts(
      std::string_view("cancel_flag=2&bed_level_order_num=000000000000000000000000000000&passengerTicketStr="),
      passengerTicketStr, std::string_view("&oldPassengerStr="), oldPassengerStr,
      std::string_view("&tour_flag=dc&randCode="), kTokenPiece, repeatSubmitToken);
  const Exchanged answer = ExchangeText(paths::kCheckOrderInfo, kPost, body, headers_.xhr, stop);
  auto result = WithValues<OrderInfoResult>(JudgedWithReason(answer.outcome, stop, ReadCheckOrderInfo(answer.text)));
  result.passengerTicketStr = std::move(passengerTicketStr);
  result.oldPassengerStr = std::move(oldPassengerStr);
  return result;
}

ServiceResult BookingClient::GetQueueCount(const std::string& trainDateMs, const std::string& trainNo,
                                           const std::string& stationTrainCode, const std::string& seatType,
                                           const std::string& fromTelecode, const std::string& toTelecode,
                                           const std::string& leftTicket, const std::string& purposeCodes,
                                           const std::string& repeatSubmitToken, std::stop_token stop) {
  const std::string body = ConcatTexts(
      std::string_view("train_date="), BrowserDateText(trainDateMs), std::string_view("&train_no="), trainNo,
      std::string_view("&stationTrainCode="), stationTrainCode, std::string_view("&seatType="), seatType,
      std::string_view("&fromStationTelecode="), fromTelecode, std::string_view("&toStationTelecode="), toTelecode,
      std::string_view("&leftTicket="), leftTicket, std::string_view("&purpose_codes="), purposeCodes,
      std::string_view("&train_location=V2"), kTokenPiece, repeatSubmitToken);
  const Exchanged answer = ExchangeText(paths::kQueueCount, kPost, body, headers_.xhr, stop);
  std::string readerText = ReadGetQueueCount(answer.text);
  // Without "true" anywhere the answer is none the step knows; the other
  // two texts are the service's refusals.
  const bool noValidAnswer = readerText == texts::QueueCountFailed();
  return Judged(answer.outcome, stop, std::move(readerText), noValidAnswer);
}

ServiceResult BookingClient::ConfirmSingleForQueue(const std::string& passengerTicketStr,
                                                   const std::string& oldPassengerStr, const std::string& randCode,
                                                   const std::string& purposeCodes, const std::string& keyCheckIsChange,
                                                   const std::string& leftTicketStr, const std::string& trainLocation,
                                                   const std::string& chooseSeats, const std::string& seatDetailType,
                                                   const std::string& roomType, const std::string& dwAll,
                                                   const std::string& repeatSubmitToken, std::stop_token stop) {
  const std::string body = ConcatTexts(
      std::string_view("passengerTicketStr="), passengerTicketStr, std::string_view("&oldPassengerStr="),
      oldPassengerStr, std::string_view("&randCode="), randCode, std::string_view("&purpose_codes="), purposeCodes,
      std::string_view("&key_check_isChange="), keyCheckIsChange, std::string_view("&leftTicketStr="),
      UrlEncode(leftTicketStr), std::string_view("&train_location="), trainLocation, std::string_view("&choose_seats="),
      chooseSeats, std::string_view("&seatDetailType="), seatDetailType, std::string_view("&whatsSelect=1&roomType="),
      roomType, std::string_view("&dwAll="), dwAll, kTokenPiece, repeatSubmitToken);
  // The confirmation takes the ticket, so it must go exactly once. On a
  // kept-alive connection that the service closes before answering, libcurl
  // sends the request again on a new one; the service may have carried out
  // the first, and the second's refusal would hide that booking. A
  // connection of its own is never sent twice.
  const Exchanged answer =
      ExchangeText(paths::kConfirmSingleForQueue, kPost, body, headers_.xhr, stop, /*freshConnection=*/true);
  return JudgedWithReason(answer.outcome, stop, ReadConfirmSingleForQueue(answer.text));
}

OrderIdResult BookingClient::QueryOrderWaitTime(const std::string& tourFlag, const std::string& repeatSubmitToken,
                                                std::stop_token stop) {
  const std::string path =
      ConcatTexts(std::string_view(paths::kOrderWaitTime), std::string_view("?random="), MillisecondTimestamp(),
                  std::string_view("&tourFlag="), tourFlag, kTokenPiece, repeatSubmitToken);
  const Exchanged answer = ExchangeText(path, kGet, kNoBody, headers_.xhr, stop);
  std::string orderId = ReadOrderWaitTime(answer.text);
  const bool known = !orderId.empty();
  auto result = WithValues<OrderIdResult>(Judged(answer.outcome, stop, known ? texts::Success() : "", !known));
  result.orderId = std::move(orderId);
  return result;
}

ServiceResult BookingClient::ResultOrderForDcQueue(const std::string& orderId, const std::string& repeatSubmitToken,
                                                   std::stop_token stop) {
  const std::string body = ConcatTexts(std::string_view("orderSequence_no="), orderId, kTokenPiece, repeatSubmitToken);
  const Exchanged answer = ExchangeText(paths::kOrderResult, kPost, body, headers_.xhr, stop);
  return JudgedWithReason(answer.outcome, stop, ReadResultOrderForDcQueue(answer.text));
}

}  // namespace quillet
