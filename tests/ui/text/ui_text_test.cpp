// The window's words for grabbing and its seat positions, without a window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grab/order_wish.h"
#include "ui/grab_log_text.h"
#include "ui/seat_positions.h"
#include "util/codepage.h"

namespace quillet {
namespace {

std::string G(std::u8string_view text) { return Gbk(text); }

TEST(GrabLogText, LinesAndCaptionAsTheWindowShowsThem) {
  OrderReport order;
  order.date = "2027-01-15";
  order.train = "K511";
  order.passengers = {G(u8"李雷"), G(u8"韩梅梅")};
  EXPECT_EQ(grab_log_text::StartedLine(), G(u8"抢票开始！\r\n"));
  EXPECT_EQ(grab_log_text::BookedLine(order), G(u8"购票成功!日期：2027-01-15,车次：K511,购票人：李雷,韩梅梅\r\n"));
  EXPECT_EQ(grab_log_text::ManualCheckLine(order),
            G(u8"请手动查看购票信息!日期：2027-01-15,车次：K511,购票人：李雷,韩梅梅\r\n"));
  EXPECT_EQ(grab_log_text::AttemptCaption(12), G(u8"尝试次数：12"));
  // UTF-8 for standard error, the names joined by ", ".
  EXPECT_EQ(grab_log_text::AbandonedOrderLine(order),
            reinterpret_cast<const char*>(
                u8"an order for K511 on 2027-01-15 (李雷, 韩梅梅) was submitted; check the account's unpaid orders\n"));
}

TEST(SeatPositions, EveryBoxMapsToItsServiceCodeAndNoSeatToNone) {
  const std::vector<std::string> expectedCodes = {"9", "M", "O", "4", "3", "2", "1", ""};
  ASSERT_EQ(DialogSeatNames().size(), expectedCodes.size());
  for (std::size_t i = 0; i < expectedCodes.size(); ++i) {
    EXPECT_EQ(SeatCodeForName(DialogSeatNames()[i]), expectedCodes[i]) << "box " << i + 1;
  }
  EXPECT_EQ(DialogSeatNames().back(), G(u8"无座"));
}

TEST(SeatPositions, GridColumnsFollowTheBoxesAndTheSleeperKindsHaveNone) {
  const struct {
    std::u8string_view name;
    int box, column;
  } cases[] = {
      {u8"商务座", 1, 4},   {u8"一等座", 2, 5}, {u8"二等座", 3, 6},   {u8"软卧", 4, 7},
      {u8"硬卧", 5, 8},     {u8"软座", 6, 9},   {u8"硬座", 7, 10},    {u8"无座", 8, 11},
      {u8"高级动卧", 0, 0}, {u8"动卧", 0, 0},   {u8"高级软卧", 0, 0},
  };
  for (const auto& c : cases) {
    const SeatType* seat = SeatTypeNamed(G(c.name));
    ASSERT_NE(seat, nullptr) << Utf8FromGbk(G(c.name));
    EXPECT_EQ(DialogBoxOf(*seat), c.box) << Utf8FromGbk(G(c.name));
    EXPECT_EQ(GridColumnOf(*seat), c.column) << Utf8FromGbk(G(c.name));
  }
}

}  // namespace
}  // namespace quillet
