#pragma once
// Helpers for grabbing against quillet-sim: sign-in, travel dates, the
// service's request log and bookings.
#include <string>
#include <vector>

#include "booking/client.h"
#include "grab/order_wish.h"
#include "json_lite.h"
#include "recording_view.h"
#include "support/sim_harness.h"
#include "util/codepage.h"
#include "util/text.h"

namespace quillet::test {

// yyyy-MM-dd in China Standard Time, `days` from today.
inline std::string ChinaDate(int days) { return ChinaDatePlusDays(days); }

inline std::string CookieValue(const std::string& jar, const std::string& name) {
  for (const std::string& pair : SplitText(jar, "; ")) {
    if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
  }
  return {};
}

// Signs the client in with the default account; retries, since a service
// with faults may spoil any one exchange.
inline bool SignIn(BookingClient& client, const SimProcess& sim, int tries = 1) {
  for (int i = 0; i < tries; ++i) {
    client.FetchCaptcha();
    const std::string session = CookieValue(client.Cookies().Text(), "JSESSIONID");
    if (session.empty()) continue;
    std::string error;
    if (client.Login("demo", "demo1234", CaptchaAnswer(sim.CaptchaCells(session)), error) &&
        client.CheckUser() == Gbk(u8"成功")) {
      return true;
    }
  }
  return false;
}

struct SimRequest {
  double t = 0;
  std::string method, path, query, body;
};

inline std::vector<SimRequest> SimRequests(const SimProcess& sim) {
  Json root;
  std::vector<SimRequest> requests;
  if (!JsonReader::Parse(sim.Requests(), root)) return requests;
  const Json& list = root.kind == Json::Kind::Array ? root : root["requests"];
  for (const Json& item : list.items) {
    requests.push_back({item["t"].number, item["method"].text, item["path"].text, item["query"].text,
                        item["body"].text});
  }
  return requests;
}

inline std::vector<SimRequest> RequestsTo(const std::vector<SimRequest>& requests, const std::string& path) {
  std::vector<SimRequest> found;
  for (const SimRequest& request : requests) {
    if (request.path == path) found.push_back(request);
  }
  return found;
}

struct SimBooking {
  std::string passengerName;  // UTF-8
  std::string trainCode, trainDate, seatType, ticketType;
};

inline std::vector<SimBooking> SimBookings(const SimProcess& sim) {
  Json root;
  std::vector<SimBooking> bookings;
  if (!JsonReader::Parse(sim.State(), root)) return bookings;
  for (const Json& item : root["bookings"].items) {
    bookings.push_back({item["passenger_name"].text, item["train_code"].text, item["train_date"].text,
                        item["seat_type"].text, item["ticket_type"].text});
  }
  return bookings;
}

// A task row as the order dialog writes it, for a passenger of the account.
inline TaskRow WishRow(const std::string& train, const std::string& date, const PassengerRecord& passenger,
                       const std::string& ticketTypeItem, const std::string& seatOrderText,
                       const std::string& from = Gbk(u8"北京|BJP"), const std::string& to = Gbk(u8"上海|SHH")) {
  OrderWish wish;
  wish.train = train;
  wish.date = date;
  wish.from = from;
  wish.to = to;
  wish.passengerEntry = PassengerEntryText(passenger);
  wish.idType = passenger.passenger_id_type_name + "[" + passenger.passenger_id_type_code + "]";
  wish.idNo = passenger.passenger_id_no;
  wish.ticketTypeItem = ticketTypeItem;
  wish.seatOrderText = seatOrderText;
  return TaskRowTexts(wish);
}

}  // namespace quillet::test
