#pragma once
// The seats an order holds, read from the account's unfinished orders as the
// service's order page lists them (queryMyOrderNoComplete).
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One ticket of an order; program text, as the service wrote it.
struct BookedSeat {
  std::string passengerName;
  std::string coach;     // "05"
  std::string seatName;  // "07F号", "12号下铺"
  std::string payBy;     // "yyyy-MM-dd hh:mm:ss" (China Standard Time), as the service gives it; may be empty
};

// The tickets of the order `orderId` in the answer, in its order; empty when
// the answer does not list that order.
std::vector<BookedSeat> ReadOrderSeats(std::string_view answer, std::string_view orderId);

}  // namespace quillet
