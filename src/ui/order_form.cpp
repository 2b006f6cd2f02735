#include "ui/order_form.h"

#include "util/codepage.h"
#include "util/text.h"

namespace quillet {
namespace {

const std::string& TrainInfoIncomplete() {
  static const std::string text = Gbk(u8"列车信息不完整,请重新确认！");
  return text;
}
const std::string& PassengerInfoIncomplete() {
  static const std::string text = Gbk(u8"乘车人信息不完整,请重新确认！");
  return text;
}
const std::string& ChooseTicketType() {
  static const std::string text = Gbk(u8"请选择车票类型！");
  return text;
}
const std::string& ChooseSeatType() {
  static const std::string text = Gbk(u8"请选择座位类型！");
  return text;
}

}  // namespace

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

std::string TicketTypeItem(const TicketType& type) { return type.name() + "(" + type.code + ")"; }

std::vector<std::string> TicketTypeItems() {
  std::vector<std::string> items;
  for (const TicketType& type : TicketTypes()) items.push_back(TicketTypeItem(type));
  return items;
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
    return TrainInfoIncomplete();
  }
  if (form.passengerEntry.empty() || form.idType.empty() || form.idNo.empty()) {
    return PassengerInfoIncomplete();
  }
  if (form.ticketTypeItem.empty()) return ChooseTicketType();
  if (form.seatOrderText.empty()) return ChooseSeatType();
  return {};
}

TaskRow TaskRowTexts(const OrderForm& form) {
  return {form.train,
          form.from,
          form.to,
          form.date,
          form.passengerEntry,
          form.ticketTypeItem,
          form.idType + "(" + form.idNo + ")",
          form.seatOrderText};
}

OrderWish WishFromForm(const OrderForm& form) { return WishFromTaskRow(TaskRowTexts(form)); }

OrderWish WishFromTaskRow(const TaskRow& cells) {
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
