#pragma once
// The seat types and ticket types of an order, one table each: what every
// front end and the grab workers know of them.
#include <span>
#include <string>

#include "booking/records.h"

namespace quillet {

struct SeatType {
  const std::string& (*name)();       // program text, "硬座"
  const char* code;                   // the service's seat type code; "" when it has none (无座)
  std::string TrainRecord::*tickets;  // the train's remaining-ticket text of this type
};

// Every seat type; the order of the rows carries no meaning.
std::span<const SeatType> SeatTypes();
// Null when there is none; an empty code names no seat type.
const SeatType* SeatTypeNamed(const std::string& name);
const SeatType* SeatTypeWithCode(const std::string& code);

struct TicketType {
  const std::string& (*name)();  // program text, "成人票"
  const char* code;              // "1"
};

// In the order of the order dialog's list.
std::span<const TicketType> TicketTypes();

}  // namespace quillet
