#pragma once
// The order dialog's computations on its texts, without widgets: the form's
// checks, the task row it makes, and the wish a task row stands for.
#include <array>
#include <string>
#include <vector>

#include "booking/records.h"
#include "grab/order_tables.h"
#include "grab/order_wish.h"

namespace quillet {

// The eight task-list columns: train, from, to, date, passenger, ticket
// type, identity, seat order.
using TaskRow = std::array<std::string, 8>;

// Seat-order text after ticking or unticking the box for seatName.
std::string ToggleSeatType(const std::string& seatOrderText, const std::string& seatName, bool nowChecked);
// passenger_name + "(" + passenger_type_name + "[" + passenger_type + "])"
std::string PassengerEntryText(const PassengerRecord& passenger);
// The dialog's item for a ticket type: name + "(" + code + ")".
std::string TicketTypeItem(const TicketType& type);
// "成人票(1)", "儿童票(2)", "学生票(3)", "残军票(4)"
std::vector<std::string> TicketTypeItems();
// The codes of a seat-order text ("商务座| ,硬座| ," -> 9, 1), names without a code left out.
std::vector<std::string> SeatCodesOf(const std::string& seatOrderText);

// The order dialog's fields as texts.
struct OrderForm {
  std::string train, date, from, to;
  std::string passengerEntry, idType, idNo;
  std::string ticketTypeItem;  // empty when none is selected
  std::string seatOrderText;
};
// The first failing check's message, or empty when the form can be confirmed.
std::string CheckOrderForm(const OrderForm& form);
TaskRow TaskRowTexts(const OrderForm& form);
// The wish a task row stands for. Values are cut from the row's texts by
// their markers: a station typed without picking ("北京") gives an empty name
// and telecode, and the telecode is what follows the last "|".
OrderWish WishFromTaskRow(const TaskRow& cells);
// The wish a confirmed form makes: that of its task row.
OrderWish WishFromForm(const OrderForm& form);

}  // namespace quillet
