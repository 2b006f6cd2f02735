#include "booking/order_seats.h"

#include "util/text.h"

namespace quillet {

namespace {

constexpr std::string_view kTicketStart = "\"passengerDTO\":";

std::string FieldOf(std::string_view piece, std::string_view key) {
  return TextBetween(piece, "\"" + std::string(key) + "\":\"", "\"");
}

}  // namespace

std::vector<BookedSeat> ReadOrderSeats(std::string_view answer, std::string_view orderId) {
  std::vector<BookedSeat> seats;
  if (orderId.empty()) return seats;
  // Each ticket's passenger comes first in its part of the list, followed by
  // the ticket's own fields up to the next ticket's passenger.
  int at = FindText(answer, kTicketStart);
  while (at != kNotFound) {
    const int next = FindText(answer, kTicketStart, at + static_cast<int>(kTicketStart.size()));
    const std::size_t begin = static_cast<std::size_t>(at - 1);
    const std::string_view piece =
        next == kNotFound ? answer.substr(begin) : answer.substr(begin, static_cast<std::size_t>(next - at));
    if (FieldOf(piece, "sequence_no") == orderId) {
      seats.push_back({FieldOf(piece, "passenger_name"), FieldOf(piece, "coach_name"), FieldOf(piece, "seat_name"),
                       FieldOf(piece, "lose_time")});
    }
    at = next;
  }
  return seats;
}

}  // namespace quillet
