#include "booking/client.h"

#include "booking/answers.h"
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

}  // namespace

BookingClient::BookingClient(std::string serviceBaseAddress, CookieJar& cookieJar, std::string caFile)
    : serviceBaseAddress_(std::move(serviceBaseAddress)),
      cookieJar_(cookieJar),
      caFile_(std::move(caFile)),
      headers_(serviceBaseAddress_) {
  LoadStations();
}

void BookingClient::LoadStations() { stations_.LoadStations(); }

void BookingClient::FindStations(const std::string& query, int mode, std::vector<std::string>& results) const {
  stations_.FindStations(query, mode, results);
}

std::string BookingClient::Exchange(const std::string& path, const std::string& method, const std::string& body,
                                    const std::string& headerBlock, const std::stop_token& stop) const {
  if (stop.stop_requested()) return {};
  ExchangeOptions options;
  options.stop = stop;
  options.extraCaFile = caFile_;
  options.reuseConnections = reuseConnections_;
  std::string methodText = method;
  std::string headers = headerBlock;
  return SendHttpRequest(serviceBaseAddress_ + path, methodText, body, cookieJar_, headers, false, {}, {}, options);
}

std::string BookingClient::ExchangeText(const std::string& path, const std::string& method, const std::string& body,
                                        const std::string& headerBlock, const std::stop_token& stop) const {
  return Utf8BytesToText(Exchange(path, method, body, headerBlock, stop));
}

void BookingClient::SetLastResponse(std::string text) {
  std::lock_guard lock(stateMutex_);
  lastResponse_ = std::move(text);
}

std::string BookingClient::LastResponse() const {
  std::lock_guard lock(stateMutex_);
  return lastResponse_;
}

std::string BookingClient::RepeatSubmitToken() const {
  std::lock_guard lock(stateMutex_);
  return repeatSubmitToken_;
}

std::vector<PassengerRecord> BookingClient::Passengers() const {
  std::lock_guard lock(stateMutex_);
  return passengers_;
}

std::string BookingClient::FetchCaptcha(std::stop_token stop) {
  // The login page only gives the session its first cookies.
  Exchange("/otn/login/init", kGet, kNoBody, headers_.page, stop);
  return Exchange("/otn/passcodeNew/getPassCodeNew?module=login&rand=sjrand&0.18218983666535804", kGet, kNoBody,
                  headers_.captcha, stop);
}

bool BookingClient::Login(const std::string& userName, const std::string& password,
                          const std::string& captchaAnswer, std::string& errorText, std::stop_token stop) {
  std::string answer = ExchangeText("/otn/passcodeNew/checkRandCodeAnsyn", kPost,
                                    ConcatTexts(std::string_view("randCode="), captchaAnswer,
                                                std::string_view("&rand=sjrand")),
                                    headers_.xhr, stop);
  const bool captchaRight = CaptchaAccepted(answer);
  SetLastResponse(std::move(answer));
  if (!captchaRight) {
    errorText = texts::CaptchaWrong();
    return false;
  }

  answer = ExchangeText("/otn/login/loginAysnSuggest", kPost, LoginBody(userName, password, captchaAnswer),
                        headers_.xhr, stop);
  std::string reason;
  const bool accepted = LoginAccepted(answer, reason);
  SetLastResponse(std::move(answer));
  if (!accepted) {
    errorText = std::move(reason);
    return false;
  }

  // The confirmation's answer is not examined.
  SetLastResponse(ExchangeText("/otn/login/userLogin", kPost, kJsonAtt, headers_.xhr, stop));
  return true;
}

std::string BookingClient::CheckUser(std::stop_token stop) {
  return ReadCheckUser(ExchangeText("/otn/login/checkUser", kPost, kJsonAtt, headers_.xhr, stop));
}

std::string BookingClient::LoadPassengers(std::vector<PassengerRecord>& list, std::stop_token stop) {
  std::string page = ExchangeText("/otn/confirmPassenger/initDc", kPost, kJsonAtt, headers_.xhr, stop);
  const std::string token = ReadPageToken(page);
  {
    std::lock_guard lock(stateMutex_);
    lastResponse_ = std::move(page);
    repeatSubmitToken_ = token;
  }

  std::string answer = ExchangeText("/otn/confirmPassenger/getPassengerDTOs", kPost,
                                    ConcatTexts(std::string_view("_json_att=&REPEAT_SUBMIT_TOKEN="), token),
                                    headers_.passenger, stop);
  std::string result = ReadPassengers(answer, list);
  std::lock_guard lock(stateMutex_);
  if (result == texts::Success()) passengers_ = list;
  lastResponse_ = std::move(answer);
  return result;
}

std::string BookingClient::QueryLeftTickets(bool studentPurpose, const std::string& trainDate,
                                            std::string& fromStation, std::string& toStation,
                                            std::vector<TrainRecord>& records, std::stop_token stop) {
  // Each station text on its own: a picked entry "name|telecode" becomes its telecode.
  fromStation = StationQueryValue(fromStation);
  toStation = StationQueryValue(toStation);
  std::string answer = ExchangeText(LeftTicketQueryPath(trainDate, fromStation, toStation, studentPurpose), kGet,
                                    kNoBody, headers_.query, stop);
  std::string result = ReadLeftTickets(answer, stations_, records);
  SetLastResponse(std::move(answer));
  return result;
}

int BookingClient::ExtractAllBetween(const std::string& text, const std::string& left, const std::string& right,
                                     std::vector<std::string>& items, bool caseSensitive, int maxLength,
                                     const std::string& prefix, const std::string& suffix, bool withLeft,
                                     bool withRight, int start) {
  return ExtractItemsBetween(text, left, right, items, caseSensitive, maxLength, prefix, suffix, withLeft, withRight,
                             start);
}

std::string BookingClient::SubmitOrderRequest(const std::string& secretStr, const std::string& trainDate,
                                              const std::string& backTrainDate, const std::string& purposeCodes,
                                              const std::string& fromStationName, const std::string& toStationName,
                                              std::stop_token stop) {
  const std::string body =
      ConcatTexts(std::string_view("secretStr="), secretStr, std::string_view("&train_date="), trainDate,
                  std::string_view("&back_train_date="), backTrainDate,
                  std::string_view("&tour_flag=dc&purpose_codes="), purposeCodes,
                  std::string_view("&query_from_station_name="), fromStationName,
                  std::string_view("&query_to_station_name="), toStationName, std::string_view("&undefined"));
  return ReadSubmitOrderRequest(
      ExchangeText("/otn/leftTicket/submitOrderRequest", kPost, body, headers_.xhr, stop));
}

std::string BookingClient::InitDc(std::string& repeatSubmitToken, std::string& leftTicketStr,
                                  std::string& trainDateMs, std::string& keyCheckIsChange, std::stop_token stop) {
  OrderPageValues values;
  std::string result =
      ReadInitDc(ExchangeText("/otn/confirmPassenger/initDc", kPost, kJsonAtt, headers_.xhr, stop), values);
  repeatSubmitToken = std::move(values.repeatSubmitToken);
  leftTicketStr = std::move(values.leftTicketStr);
  trainDateMs = std::move(values.trainDateMs);
  keyCheckIsChange = std::move(values.keyCheckIsChange);
  return result;
}

std::string BookingClient::CheckOrderInfo(const std::string& seatType, const std::string& ticketType,
                                          const std::string& passengerName, const std::string& passengerType,
                                          const std::string& idType, const std::string& idNo,
                                          std::string& passengerTicketStr, std::string& oldPassengerStr,
                                          const std::string& repeatSubmitToken, std::stop_token stop) {
  passengerTicketStr = PassengerTicketText(seatType, ticketType, passengerName, idType, idNo);
  oldPassengerStr = OldPassengerText(passengerName, idType, idNo, passengerType);
  const std::string body = ConcatTexts(
      std::string_view("cancel_flag=2&bed_level_order_num=000000000000000000000000000000&passengerTicketStr="),
      passengerTicketStr, std::string_view("&oldPassengerStr="), oldPassengerStr,
      std::string_view("&tour_flag=dc&randCode="), kTokenPiece, repeatSubmitToken);
  return ReadCheckOrderInfo(ExchangeText("/otn/confirmPassenger/checkOrderInfo", kPost, body, headers_.xhr, stop));
}

std::string BookingClient::GetQueueCount(const std::string& trainDateMs, const std::string& trainNo,
                                         const std::string& stationTrainCode, const std::string& seatType,
                                         const std::string& fromTelecode, const std::string& toTelecode,
                                         const std::string& leftTicket, const std::string& purposeCodes,
                                         const std::string& repeatSubmitToken, std::stop_token stop) {
  const std::string body = ConcatTexts(
      std::string_view("train_date="), JsDateText(trainDateMs), std::string_view("&train_no="), trainNo,
      std::string_view("&stationTrainCode="), stationTrainCode, std::string_view("&seatType="), seatType,
      std::string_view("&fromStationTelecode="), fromTelecode, std::string_view("&toStationTelecode="), toTelecode,
      std::string_view("&leftTicket="), leftTicket, std::string_view("&purpose_codes="), purposeCodes,
      std::string_view("&train_location=V2"), kTokenPiece, repeatSubmitToken);
  return ReadGetQueueCount(ExchangeText("/otn/confirmPassenger/getQueueCount", kPost, body, headers_.xhr, stop));
}

std::string BookingClient::ConfirmSingleForQueue(const std::string& passengerTicketStr,
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
      UrlEncode(leftTicketStr), std::string_view("&train_location="), trainLocation,
      std::string_view("&choose_seats="), chooseSeats, std::string_view("&seatDetailType="), seatDetailType,
      std::string_view("&whatsSelect=1&roomType="), roomType, std::string_view("&dwAll="), dwAll, kTokenPiece,
      repeatSubmitToken);
  return ReadConfirmSingleForQueue(
      ExchangeText("/otn/confirmPassenger/confirmSingleForQueue", kPost, body, headers_.xhr, stop));
}

std::string BookingClient::QueryOrderWaitTime(const std::string& tourFlag, const std::string& repeatSubmitToken,
                                              std::stop_token stop) {
  const std::string path =
      ConcatTexts(std::string_view("/otn/confirmPassenger/queryOrderWaitTime?random="), MillisecondTimestamp(),
                  std::string_view("&tourFlag="), tourFlag, kTokenPiece, repeatSubmitToken);
  return ReadOrderWaitTime(ExchangeText(path, kGet, kNoBody, headers_.xhr, stop));
}

std::string BookingClient::ResultOrderForDcQueue(const std::string& orderId, const std::string& repeatSubmitToken,
                                                 std::stop_token stop) {
  const std::string body =
      ConcatTexts(std::string_view("orderSequence_no="), orderId, kTokenPiece, repeatSubmitToken);
  return ReadResultOrderForDcQueue(
      ExchangeText("/otn/confirmPassenger/resultOrderForDcQueue", kPost, body, headers_.xhr, stop));
}

std::string BookingClient::QueryUncompletedOrders(std::stop_token stop) {
  return ReadUncompletedOrders(
      ExchangeText("/otn/queryOrder/queryMyOrderNoComplete", kPost, kJsonAtt, headers_.xhr, stop));
}

}  // namespace quillet
