#include "grab/order_wish.h"

#include "grab/texts.h"
#include "util/text.h"

namespace quillet {

std::string ToggleSeatType(const std::string& seatOrderText, const std::string& seatName, bool nowChecked) {
  std::vector<std::string> pieces = SplitText(seatOrderText, ",");
  for (auto it = pieces.begin(); it != pieces.end(); ++it) {
    if (FindText(*it, seatName) != kNotFound) {
      pieces.erase(it);
      break;
    }
  }
  std::string rebuilt;
  for (const std::string& piece : pieces) rebuilt += piece + ",";
  if (nowChecked) rebuilt += seatName + "| ,";
  return rebuilt;
}

std::string PassengerEntryText(const PassengerRecord& passenger) {
  return passenger.passenger_name + "(" + passenger.passenger_type_name + "[" + passenger.passenger_type + "])";
}

const std::vector<std::string>& TicketTypeItems() {
  static const std::vector<std::string> items = {grab_texts::AdultTicket(), grab_texts::ChildTicket(),
                                                 grab_texts::StudentTicket(), grab_texts::DisabledArmyTicket()};
  return items;
}

const std::vector<std::string>& DialogSeatNames() {
  static const std::vector<std::string> names = {
      grab_texts::BusinessSeat(), grab_texts::FirstClassSeat(), grab_texts::SecondClassSeat(),
      grab_texts::SoftSleeper(),  grab_texts::HardSleeper(),    grab_texts::SoftSeat(),
      grab_texts::HardSeat(),     grab_texts::NoSeat()};
  return names;
}

std::string CheckOrderWish(const OrderWish& wish) {
  if (wish.train.empty() || wish.date.empty() || wish.from.empty() || wish.to.empty()) {
    return grab_texts::TrainInfoIncomplete();
  }
  if (wish.passengerEntry.empty() || wish.idType.empty() || wish.idNo.empty()) {
    return grab_texts::PassengerInfoIncomplete();
  }
  if (wish.ticketTypeItem.empty()) return grab_texts::ChooseTicketType();
  if (wish.seatOrderText.empty()) return grab_texts::ChooseSeatType();
  return {};
}

std::array<std::string, 8> TaskRowTexts(const OrderWish& wish) {
  return {wish.train,          wish.from,           wish.to,
          wish.date,           wish.passengerEntry, wish.ticketTypeItem,
          wish.idType + "(" + wish.idNo + ")", wish.seatOrderText};
}

}  // namespace quillet
