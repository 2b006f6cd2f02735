#pragma once
// Helpers for grabbing against quillet-sim: the service's request log and
// bookings, and task rows. Sign-in and travel dates come from support.
#include <string>
#include <vector>

#include "booking/client.h"
#include "grab/order_wish.h"
#include "recording_view.h"
#include "support/sim_harness.h"
#include "support/sim_json.h"
#include "support/sim_steps.h"
#include "ui/order_form.h"
#include "util/codepage.h"
#include "util/text.h"

namespace quillet::test {

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
  OrderForm wish;
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
