#include "sim_conversation.h"

#include <httplib.h>

#include <cstdio>
#include <ctime>

#include "booking/service_paths.h"
#include "text_codec.h"

namespace quillet::test {

namespace {

const char kXhrUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/49.0.2623.75 Safari/537.36";

// Field index of a seat type's count in a train text.
int CountField(const std::string& seatType) {
  if (seatType == "9") return 32;
  if (seatType == "M") return 31;
  if (seatType == "O") return 30;
  if (seatType == "1") return 29;
  if (seatType == "3") return 28;
  if (seatType == "4" || seatType == "5") return 23;
  return -1;
}

}  // namespace

std::string UrlEncode(const std::string& text) { return sim::PercentEncode(text, "-."); }

std::string Between(const std::string& text, const std::string& left, const std::string& right, std::size_t from) {
  const std::size_t a = text.find(left, from);
  if (a == std::string::npos) return {};
  const std::size_t b = text.find(right, a + left.size());
  if (b == std::string::npos) return {};
  return text.substr(a + left.size(), b - a - left.size());
}

std::vector<std::string> SplitText(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (true) {
    const std::size_t at = text.find(separator, pos);
    parts.push_back(text.substr(pos, at == std::string::npos ? std::string::npos : at - pos));
    if (at == std::string::npos) break;
    pos = at + 1;
  }
  return parts;
}

std::string BrowserDateText(const std::string& date) {
  std::tm tm{};
  std::sscanf(date.c_str(), "%d-%d-%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday);
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  const std::time_t t = timegm(&tm);
  std::tm norm{};
  gmtime_r(&t, &norm);
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string text = std::string(kDays[norm.tm_wday]) + " " + kMonths[norm.tm_mon] + " " +
                           std::to_string(norm.tm_mday) + " " + std::to_string(norm.tm_year + 1900) +
                           " 00:00:00 GMT+0800";
  std::string encoded = UrlEncode(text);
  for (std::size_t p = encoded.find("%20"); p != std::string::npos; p = encoded.find("%20", p + 1)) {
    encoded.replace(p, 3, "+");
  }
  return encoded +
         "+(%C3%A4%C2%B8%C2%AD%C3%A5%C2%9B%C2%BD%C3%A6%C2%A0%C2%87%C3%A5%C2%87%C2%86%C3%A6%C2%97%C2%B6%C3%A9%C2%97%"
         "C2%B4)";
}

SimConversation::SimConversation(const SimProcess& sim) : sim_(sim) {}

std::string SimConversation::Cookie(const std::string& name) const {
  const auto it = cookies_.find(name);
  return it == cookies_.end() ? std::string() : it->second;
}

bool SimConversation::HasCookie(const std::string& name) const { return cookies_.count(name) != 0; }

SimAnswer SimConversation::Exchange(bool post, const std::string& pathAndQuery, const std::string& body) {
  httplib::Client client(sim_.BaseUrl());
  client.set_connection_timeout(5);
  client.set_read_timeout(30);
  client.set_follow_location(false);
  client.set_url_encode(false);  // the request line goes out as written
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
  client.enable_server_certificate_verification(false);
#endif
  httplib::Headers headers = {{"X-Requested-With", "XMLHttpRequest"},
                              {"User-Agent", kXhrUserAgent},
                              {"Referer", sim_.BaseUrl() + service_paths::kLoginPage}};
  std::string cookie;
  for (const std::string& name : cookieOrder_) {
    if (cookies_.count(name) != 0) cookie += (cookie.empty() ? "" : "; ") + name + "=" + cookies_.at(name);
  }
  if (!cookie.empty()) headers.emplace("Cookie", cookie);
  const auto result =
      post ? client.Post(pathAndQuery.c_str(), headers, body, "application/x-www-form-urlencoded; charset=UTF-8")
           : client.Get(pathAndQuery.c_str(), headers);
  SimAnswer answer;
  if (!result) return answer;
  answer.status = result->status;
  answer.body = result->body;
  answer.location = result->get_header_value("Location");
  const std::size_t n = result->get_header_value_count("Set-Cookie");
  for (std::size_t i = 0; i < n; ++i) {
    const std::string value = result->get_header_value("Set-Cookie", i);
    answer.setCookies.push_back(value);
    const std::string pair = value.substr(0, value.find(';'));
    const std::size_t eq = pair.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = pair.substr(0, eq);
    const std::string v = pair.substr(eq + 1);
    if (v == "deleted") {
      cookies_.erase(name);
      continue;
    }
    if (cookies_.count(name) == 0) cookieOrder_.push_back(name);
    cookies_[name] = v;
  }
  return answer;
}

SimAnswer SimConversation::Get(const std::string& pathAndQuery) { return Exchange(false, pathAndQuery, ""); }

SimAnswer SimConversation::Post(const std::string& path, const std::string& body) { return Exchange(true, path, body); }

bool SimConversation::SignIn(const std::string& user, const std::string& password) {
  Get(service_paths::kLoginPage);
  Get(service_paths::kCaptchaPicture);
  const std::string answer = CaptchaAnswer(sim_.CaptchaCells(SessionId()));
  Post(service_paths::kCaptchaCheck, "randCode=" + answer + "&rand=sjrand");
  Post(service_paths::kLogin,
       "loginUserDTO.user_name=" + UrlEncode(user) + "&userDTO.password=" + password + "&randCode=" + answer);
  Post(service_paths::kLoginConfirm, "_json_att=");
  return Post(service_paths::kCheckUser, "_json_att=").body.find("flag\":true") != std::string::npos;
}

std::vector<std::vector<std::string>> SimConversation::Query(const std::string& date, const std::string& from,
                                                             const std::string& to, const std::string& purpose,
                                                             std::string* raw) {
  const SimAnswer answer =
      Get(std::string(service_paths::kLeftTicketQuery) + "?leftTicketDTO.train_date=" + date +
          "&leftTicketDTO.from_station=" + from + "&leftTicketDTO.to_station=" + to + "&purpose_codes=" + purpose);
  if (raw) *raw = answer.body;
  std::vector<std::vector<std::string>> trains;
  const std::string list = Between(answer.body, "result\":[", "]}");
  std::size_t pos = 0;
  while (true) {
    const std::size_t open = list.find('"', pos);
    if (open == std::string::npos) break;
    const std::size_t close = list.find('"', open + 1);
    if (close == std::string::npos) break;
    trains.push_back(SplitText(list.substr(open + 1, close - open - 1), '|'));
    pos = close + 1;
  }
  return trains;
}

SimAnswer SimConversation::SubmitOrderRequest(const OrderValues& v) {
  return Post(service_paths::kSubmitOrderRequest,
              "secretStr=" + v.train.at(0) + "&train_date=" + v.date + "&back_train_date=" + v.date +
                  "&tour_flag=dc&purpose_codes=" + v.purposeCodes + "&query_from_station_name=" + v.fromName +
                  "&query_to_station_name=" + v.toName + "&undefined");
}

SimAnswer SimConversation::InitDc(OrderValues& v) {
  SimAnswer answer = Post(service_paths::kOrderPage, "_json_att=");
  v.token = Between(answer.body, "globalRepeatSubmitToken = '", "';");
  v.leftTicketStr = Between(answer.body, "leftTicketStr':'", "','");
  v.keyCheck = Between(answer.body, "'key_check_isChange':'", "','");
  // The train date's own value, found by its key rather than by its digits.
  v.trainDateMs = Between(answer.body, "'time':", ",'", answer.body.find("'train_date':{"));
  return answer;
}

SimAnswer SimConversation::CheckOrderInfo(OrderValues& v) {
  v.passengerTicketStr =
      UrlEncode(v.seatType + ",0," + v.ticketType + "," + v.passengerName + "," + v.idType + "," + v.idNo + ",,N");
  v.oldPassengerStr = UrlEncode(v.passengerName + "," + v.idType + "," + v.idNo + "," + v.passengerType) + "_";
  return Post(service_paths::kCheckOrderInfo,
              "cancel_flag=2&bed_level_order_num=000000000000000000000000000000&passengerTicketStr=" +
                  v.passengerTicketStr + "&oldPassengerStr=" + v.oldPassengerStr +
                  "&tour_flag=dc&randCode=&_json_att=&REPEAT_SUBMIT_TOKEN=" + v.token);
}

SimAnswer SimConversation::GetQueueCount(const OrderValues& v, const std::string& browserDate) {
  return Post(service_paths::kQueueCount,
              "train_date=" + (browserDate.empty() ? BrowserDateText(v.date) : browserDate) +
                  "&train_no=" + v.train.at(2) + "&stationTrainCode=" + v.train.at(3) + "&seatType=" + v.seatType +
                  "&fromStationTelecode=" + v.fromTelecode + "&toStationTelecode=" + v.toTelecode + "&leftTicket=" +
                  v.train.at(12) + "&purpose_codes=00&train_location=V2&_json_att=&REPEAT_SUBMIT_TOKEN=" + v.token);
}

SimAnswer SimConversation::ConfirmSingleForQueue(const OrderValues& v) {
  return Post(
      service_paths::kConfirmSingleForQueue,
      "passengerTicketStr=" + v.passengerTicketStr + "&oldPassengerStr=" + v.oldPassengerStr +
          "&randCode=&purpose_codes=00&key_check_isChange=" + v.keyCheck +
          "&leftTicketStr=" + UrlEncode(v.leftTicketStr) + "&train_location=" + v.train.at(15) +
          "&choose_seats=&seatDetailType=000&whatsSelect=1&roomType=00&dwAll=N&_json_att=&REPEAT_SUBMIT_TOKEN=" +
          v.token);
}

SimAnswer SimConversation::QueryOrderWaitTime(OrderValues& v) {
  SimAnswer answer = Get(std::string(service_paths::kOrderWaitTime) +
                         "?random=1765340000000&tourFlag=dc&_json_att=&REPEAT_SUBMIT_TOKEN=" + v.token);
  v.orderId = Between(answer.body, "orderId\":\"", "\"");
  return answer;
}

SimAnswer SimConversation::ResultOrderForDcQueue(const OrderValues& v) {
  return Post(service_paths::kOrderResult,
              "orderSequence_no=" + v.orderId + "&_json_att=&REPEAT_SUBMIT_TOKEN=" + v.token);
}

const std::vector<std::string>* FindTrain(const std::vector<std::vector<std::string>>& trains,
                                          const std::string& code) {
  for (const auto& t : trains) {
    if (t.size() > 3 && t[3] == code) return &t;
  }
  return nullptr;
}

const std::vector<std::string>* FirstTrainWith(const std::vector<std::vector<std::string>>& trains,
                                               const std::string& seatType) {
  const int field = CountField(seatType);
  for (const auto& t : trains) {
    if (field > 0 && t.size() > 33 && t[11] == "Y" && t[static_cast<std::size_t>(field)] != "--") return &t;
  }
  return nullptr;
}

std::string PassengerIdNo(const std::string& passengersAnswer, const std::string& name) {
  const std::size_t at = passengersAnswer.find("\"passenger_name\":\"" + name + "\"");
  if (at == std::string::npos) return {};
  return Between(passengersAnswer, "\"passenger_id_no\":\"", "\"", at);
}

}  // namespace quillet::test
