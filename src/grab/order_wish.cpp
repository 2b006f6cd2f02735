#include "grab/order_wish.h"

#include "grab/order_tables.h"
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

std::vector<std::string> TicketTypeItems() {
  std::vector<std::string> items;
  for (const TicketType& type : TicketTypes()) items.push_back(TicketTypeItem(type));
  return items;
}

std::string SeatCodeForName(const std::string& seatName) {
  const SeatType* type = SeatTypeNamed(seatName);
  return type ? type->code : std::string();
}

std::vector<std::string> SeatCodesOf(const std::string& seatOrderText) {
  std::vector<std::string> codes;
  for (const std::string& piece : SplitText(seatOrderText, ",")) {
    if (piece.empty()) continue;
    const std::vector<std::string> parts = SplitText(piece, "|");
    std::string code = parts.empty() ? std::string() : SeatCodeForName(parts[0]);
    if (!code.empty()) codes.push_back(std::move(code));
  }
  return codes;
}

std::string CheckOrderForm(const OrderForm& form) {
  if (form.train.empty() || form.date.empty() || form.from.empty() || form.to.empty()) {
    return grab_texts::TrainInfoIncomplete();
  }
  if (form.passengerEntry.empty() || form.idType.empty() || form.idNo.empty()) {
    return grab_texts::PassengerInfoIncomplete();
  }
  if (form.ticketTypeItem.empty()) return grab_texts::ChooseTicketType();
  if (form.seatOrderText.empty()) return grab_texts::ChooseSeatType();
  return {};
}

std::array<std::string, 8> TaskRowTexts(const OrderForm& form) {
  return {form.train,
          form.from,
          form.to,
          form.date,
          form.passengerEntry,
          form.ticketTypeItem,
          form.idType + "(" + form.idNo + ")",
          form.seatOrderText};
}

std::vector<StationPair> StationPairsOf(const OrderWish& wish) {
  if (!wish.stationPairs.empty()) return wish.stationPairs;
  return {{wish.from, wish.to}};
}

OrderWish WishFromForm(const OrderForm& form) { return WishFromTaskRow(TaskRowTexts(form)); }

OrderWish WishFromTaskRow(const std::array<std::string, 8>& cells) {
  OrderWish wish;
  wish.trains = {cells[0]};
  wish.from = {TextBefore(cells[1], "|"), TextAfterLast(cells[1], "|")};
  wish.to = {TextBefore(cells[2], "|"), TextAfterLast(cells[2], "|")};
  wish.dates = {cells[3]};
  WishPassenger passenger;
  passenger.name = TextBefore(cells[4], "(");
  passenger.passengerType = TextBetween(cells[4], "[", "]");
  passenger.idType = TextBetween(cells[6], "[", "]");
  passenger.idNo = TextBetween(cells[6], "(", ")");
  wish.passengers = {std::move(passenger)};
  wish.ticketType = TextBetween(cells[5], "(", ")");
  wish.seatTypes = SeatCodesOf(cells[7]);
  wish.dialogTexts = cells;
  return wish;
}

}  // namespace quillet
