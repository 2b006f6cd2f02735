#include "grab/order_tables.h"

#include "grab/texts.h"

namespace quillet {

namespace {

namespace texts = grab_texts;

// 高级动卧 reads the soft-seat count and 动卧 the soft-sleeper count: the
// service's list has no columns of their own for them.
const SeatType kSeatTypes[] = {
    {texts::BusinessSeat, "9", &TrainRecord::businessSeat},
    {texts::DeluxeEmuSleeper, "A", &TrainRecord::softSeat},
    {texts::EmuSleeper, "5", &TrainRecord::softSleeper},
    {texts::DeluxeSoftSleeper, "6", &TrainRecord::deluxeSoftSleeper},
    {texts::FirstClassSeat, "M", &TrainRecord::firstClassSeat},
    {texts::SecondClassSeat, "O", &TrainRecord::secondClassSeat},
    {texts::SoftSleeper, "4", &TrainRecord::softSleeper},
    {texts::HardSleeper, "3", &TrainRecord::hardSleeper},
    {texts::SoftSeat, "2", &TrainRecord::softSeat},
    {texts::HardSeat, "1", &TrainRecord::hardSeat},
    {texts::NoSeat, "", &TrainRecord::noSeat},
};

const TicketType kTicketTypes[] = {
    {texts::AdultTicket, "1"},
    {texts::ChildTicket, "2"},
    {texts::StudentTicket, "3"},
    {texts::DisabledArmyTicket, "4"},
};

}  // namespace

std::span<const SeatType> SeatTypes() { return kSeatTypes; }

const SeatType* SeatTypeNamed(const std::string& name) {
  for (const SeatType& type : kSeatTypes) {
    if (type.name() == name) return &type;
  }
  return nullptr;
}

const SeatType* SeatTypeWithCode(const std::string& code) {
  if (code.empty()) return nullptr;
  for (const SeatType& type : kSeatTypes) {
    if (code == type.code) return &type;
  }
  return nullptr;
}

std::span<const TicketType> TicketTypes() { return kTicketTypes; }

}  // namespace quillet
