// The order dialog's text logic: its checks, the task row it writes and the
// wish read back from a row.
#include <gtest/gtest.h>

#include "booking/records.h"
#include "gbk.h"
#include "grab/grab_controller.h"
#include "grab/order_wish.h"
#include "ui/order_form.h"

namespace quillet {
namespace {

using test::G;

struct Toggle {
  std::u8string_view seat;
  bool checked;
};

TEST(ToggleSeatType, KeepsTickingOrderAndMovesRetickedEntryToEnd) {
  struct Case {
    std::vector<Toggle> clicks;
    std::u8string_view expected;
  };
  const Case cases[] = {
      {{{u8"硬卧", true}, {u8"二等座", true}}, u8"硬卧| ,二等座| ,"},
      {{{u8"硬座", true}, {u8"商务座", true}, {u8"硬座", false}, {u8"硬座", true}}, u8"商务座| ,硬座| ,"},
      {{{u8"一等座", true}, {u8"二等座", true}, {u8"软卧", true}, {u8"二等座", false}}, u8"一等座| ,软卧| ,"},
      {{{u8"无座", true}, {u8"无座", false}}, u8""},
      {{{u8"硬座", false}}, u8""},  // unticking a box whose entry is not there changes nothing
  };
  for (const Case& c : cases) {
    std::string text;
    for (const Toggle& click : c.clicks) text = ToggleSeatType(text, G(click.seat), click.checked);
    EXPECT_EQ(text, G(c.expected)) << Utf8FromGbk(G(c.expected));
  }
}

TEST(ToggleSeatType, RemovesOnlyTheFirstEntryNamingTheSeat) {
  // A text holding the same class twice (not made by the dialog) loses one entry per untick.
  EXPECT_EQ(ToggleSeatType(G(u8"硬座| ,软卧| ,硬座| ,"), G(u8"硬座"), false), G(u8"软卧| ,硬座| ,"));
}

TEST(PassengerEntryText, NameTypeNameAndTypeCode) {
  PassengerRecord passenger;
  passenger.passenger_name = G(u8"张三");
  passenger.passenger_type_name = G(u8"学生");
  passenger.passenger_type = "3";
  EXPECT_EQ(PassengerEntryText(passenger), G(u8"张三(学生[3])"));
}

TEST(TicketTypeItems, CarryTheTicketTypeCodeInParentheses) {
  const std::vector<std::string> expected = {G(u8"成人票(1)"), G(u8"儿童票(2)"), G(u8"学生票(3)"), G(u8"残军票(4)")};
  EXPECT_EQ(TicketTypeItems(), expected);
}

OrderForm CompleteWish() {
  OrderForm wish;
  wish.train = "G101";
  wish.date = "2026-12-14";
  wish.from = G(u8"北京南|VNP");
  wish.to = G(u8"上海虹桥|AOH");
  wish.passengerEntry = G(u8"张三(成人[1])");
  wish.idType = G(u8"二代身份证[1]");
  wish.idNo = "110101199001011234";
  wish.ticketTypeItem = G(u8"成人票(1)");
  wish.seatOrderText = G(u8"二等座| ,一等座| ,");
  return wish;
}

TEST(CheckOrderForm, ReportsTheFirstFailingCheckInOrder) {
  struct Case {
    std::string OrderForm::*emptied[2];
    std::u8string_view message;
  };
  const Case cases[] = {
      {{&OrderForm::train, nullptr}, u8"列车信息不完整,请重新确认！"},
      {{&OrderForm::date, nullptr}, u8"列车信息不完整,请重新确认！"},
      {{&OrderForm::from, nullptr}, u8"列车信息不完整,请重新确认！"},
      {{&OrderForm::to, &OrderForm::seatOrderText}, u8"列车信息不完整,请重新确认！"},
      {{&OrderForm::passengerEntry, &OrderForm::ticketTypeItem}, u8"乘车人信息不完整,请重新确认！"},
      {{&OrderForm::idType, nullptr}, u8"乘车人信息不完整,请重新确认！"},
      {{&OrderForm::idNo, nullptr}, u8"乘车人信息不完整,请重新确认！"},
      {{&OrderForm::ticketTypeItem, &OrderForm::seatOrderText}, u8"请选择车票类型！"},
      {{&OrderForm::seatOrderText, nullptr}, u8"请选择座位类型！"},
  };
  for (const Case& c : cases) {
    OrderForm wish = CompleteWish();
    for (auto field : c.emptied) {
      if (field != nullptr) wish.*field = "";
    }
    EXPECT_EQ(CheckOrderForm(wish), G(c.message)) << Utf8FromGbk(G(c.message));
  }
  EXPECT_EQ(CheckOrderForm(CompleteWish()), "");
  EXPECT_EQ(CheckOrderForm(OrderForm{}), G(u8"列车信息不完整,请重新确认！"));
}

TEST(SeatCodesOf, MapsNamesToCodesAndDropsUnknownNames) {
  struct Case {
    std::u8string_view seatOrder;
    std::vector<std::string> codes;
  };
  const Case cases[] = {
      {u8"商务座| ,硬座| ,", {"9", "1"}},
      {u8"硬卧| ,二等座| ,", {"3", "O"}},
      {u8"一等座| ,软卧| ,软座| ,", {"M", "4", "2"}},
      {u8"高级动卧| ,动卧| ,高级软卧| ,", {"A", "5", "6"}},
      {u8"无座| ,", {}},
      {u8"无座| ,二等座| ,", {"O"}},
      {u8"", {}},
      {u8",,硬座| ,", {"1"}},   // empty pieces are skipped
      {u8"硬座|上铺,", {"1"}},  // the detail after "|" is not part of the code
      {u8"硬座", {"1"}},        // no detail
      {u8"硬座 | ,", {}},       // names are compared exactly
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SeatCodesOf(G(c.seatOrder)), c.codes) << Utf8FromGbk(G(c.seatOrder));
  }
}

TEST(WishFromForm, ReadsBackWhatTheDialogWrote) {
  OrderForm form = CompleteWish();
  form.ticketTypeItem = G(u8"学生票(3)");
  form.passengerEntry = G(u8"李四(学生[3])");
  const OrderWish wish = WishFromForm(form);
  EXPECT_EQ(wish.seatTypes, (std::vector<std::string>{"O", "M"}));
  EXPECT_EQ(wish.dialogTexts, TaskRowTexts(form));

  const GrabTask task = TaskForWish(wish);
  EXPECT_EQ(task.stationTrainCode, "G101");
  EXPECT_EQ(task.trainDate, "2026-12-14");
  EXPECT_EQ(task.fromStationName, G(u8"北京南"));
  EXPECT_EQ(task.fromTelecode, "VNP");
  EXPECT_EQ(task.toStationName, G(u8"上海虹桥"));
  EXPECT_EQ(task.toTelecode, "AOH");
  EXPECT_EQ(task.passengerName, G(u8"李四"));
  EXPECT_EQ(task.passengerType, "3");
  EXPECT_EQ(task.ticketType, "3");
  EXPECT_EQ(task.idType, "1");
  EXPECT_EQ(task.idNo, "110101199001011234");
  // The chain's own fields start empty.
  EXPECT_EQ(task.secretStr, "");
  EXPECT_EQ(task.repeatSubmitToken, "");
  EXPECT_EQ(task.orderId, "");
}

TEST(WishFromForm, StationTypedByHandGivesEmptyNameAndTelecode) {
  OrderForm form = CompleteWish();
  form.from = G(u8"北京");
  form.to = G(u8"上海|SHH|X");  // the telecode is what follows the last "|"
  const GrabTask task = TaskForWish(WishFromForm(form));
  EXPECT_EQ(task.fromStationName, "");
  EXPECT_EQ(task.fromTelecode, "");
  EXPECT_EQ(task.toStationName, G(u8"上海"));
  EXPECT_EQ(task.toTelecode, "X");
}

TEST(TaskRowTexts, ColumnsInTaskListOrder) {
  const std::array<std::string, 8> row = TaskRowTexts(CompleteWish());
  const std::array<std::string, 8> expected = {"G101",
                                               G(u8"北京南|VNP"),
                                               G(u8"上海虹桥|AOH"),
                                               "2026-12-14",
                                               G(u8"张三(成人[1])"),
                                               G(u8"成人票(1)"),
                                               G(u8"二代身份证[1](110101199001011234)"),
                                               G(u8"二等座| ,一等座| ,")};
  EXPECT_EQ(row, expected);
}

}  // namespace
}  // namespace quillet
