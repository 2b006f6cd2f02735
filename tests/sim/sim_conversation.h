#pragma once
// A client conversation with quillet-sim written directly on cpp-httplib:
// it keeps the cookies itself and sends the request texts the booking
// client sends, so each test can follow the conversation step by step and
// tamper with any one value.
#include <map>
#include <string>
#include <vector>

#include "support/sim_harness.h"

namespace quillet::test {

struct SimAnswer {
  int status = 0;  // 0 when the exchange failed
  std::string body;
  std::vector<std::string> setCookies;  // raw Set-Cookie values
  std::string location;
};

// Percent-encodes everything but letters, digits, "-" and ".", as the
// client's URL encoding does.
std::string UrlEncode(const std::string& text);
// The text between the first `left` and the next `right`; empty when missing.
std::string Between(const std::string& text, const std::string& left, const std::string& right, std::size_t from = 0);
// The browser date text of the queue-count request for a yyyy-MM-dd date,
// as the client sends it (URL-encoded, with the fixed zone suffix).
std::string BrowserDateText(const std::string& date);
// Splits text at a separator, keeping empty pieces.
std::vector<std::string> SplitText(const std::string& text, char separator);

// The values the order chain carries from step to step.
struct OrderValues {
  std::string date;  // yyyy-MM-dd
  std::string fromTelecode, toTelecode, fromName, toName;
  std::vector<std::string> train;  // the train's fields from the query
  std::string seatType = "O";
  std::string ticketType = "1";
  std::string purposeCodes = "ADULT";
  // passenger
  std::string passengerName = "张伟";
  std::string passengerType = "1";
  std::string idType = "1";
  std::string idNo;
  // from the order page
  std::string token, leftTicketStr, keyCheck, trainDateMs;
  // built by the order-info step
  std::string passengerTicketStr, oldPassengerStr;
  std::string orderId;
};

class SimConversation {
 public:
  explicit SimConversation(const SimProcess& sim);

  SimAnswer Get(const std::string& pathAndQuery);
  // A form post with the client's XHR headers; the body is sent as given.
  SimAnswer Post(const std::string& path, const std::string& body);

  std::string Cookie(const std::string& name) const;
  bool HasCookie(const std::string& name) const;
  std::string SessionId() const { return Cookie("JSESSIONID"); }

  // The whole login: page, picture, captcha check (with the right cells from
  // the control side), the two login steps. True when checkUser says so.
  bool SignIn(const std::string& user = "demo", const std::string& password = "demo1234");

  // The train texts of a query (empty on a refusal; the answer in *raw).
  std::vector<std::vector<std::string>> Query(const std::string& date, const std::string& from, const std::string& to,
                                              const std::string& purpose = "ADULT", std::string* raw = nullptr);

  // The order steps as the client words them.
  SimAnswer SubmitOrderRequest(const OrderValues& v);
  SimAnswer InitDc(OrderValues& v);          // reads token, leftTicketStr, key, date into v
  SimAnswer CheckOrderInfo(OrderValues& v);  // builds the passenger strings into v
  SimAnswer GetQueueCount(const OrderValues& v, const std::string& browserDate = "");
  SimAnswer ConfirmSingleForQueue(const OrderValues& v);
  SimAnswer QueryOrderWaitTime(OrderValues& v);  // reads orderId into v
  SimAnswer ResultOrderForDcQueue(const OrderValues& v);

 private:
  SimAnswer Exchange(bool post, const std::string& pathAndQuery, const std::string& body);

  const SimProcess& sim_;
  std::map<std::string, std::string> cookies_;
  std::vector<std::string> cookieOrder_;
};

// Finds a train by code among query results; nullptr when absent.
const std::vector<std::string>* FindTrain(const std::vector<std::vector<std::string>>& trains, const std::string& code);
// The first bookable train offering the seat type (its count field not "--").
const std::vector<std::string>* FirstTrainWith(const std::vector<std::vector<std::string>>& trains,
                                               const std::string& seatType);

// Id number of a default passenger by name (from the passenger list answer).
std::string PassengerIdNo(const std::string& passengersAnswer, const std::string& name);

}  // namespace quillet::test
