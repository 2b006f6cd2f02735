#pragma once
// The order dialog's computations on text, without widgets.
#include <array>
#include <string>
#include <vector>

#include "booking/records.h"

namespace quillet {

// Seat-order text after ticking or unticking the box for seatName.
std::string ToggleSeatType(const std::string& seatOrderText, const std::string& seatName, bool nowChecked);
// passenger_name + "(" + passenger_type_name + "[" + passenger_type + "])"
std::string PassengerEntryText(const PassengerRecord& passenger);
// "成人票(1)", "儿童票(2)", "学生票(3)", "残军票(4)"
const std::vector<std::string>& TicketTypeItems();
// The eight dialog seat names, in box order 选择框1..8.
const std::vector<std::string>& DialogSeatNames();

struct OrderWish {
  std::string train, date, from, to;
  std::string passengerEntry, idType, idNo;
  std::string ticketTypeItem;  // empty when none is selected
  std::string seatOrderText;
};
// The first failing check's message, or empty when the wish can be confirmed.
std::string CheckOrderWish(const OrderWish& wish);
// Columns 0..7 of the task row.
std::array<std::string, 8> TaskRowTexts(const OrderWish& wish);

}  // namespace quillet
