// Which seats an order gets, and when a station's sale opens, without a
// running server.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "china_time.h"
#include "seat_plan.h"
#include "station_sales.h"

namespace quillet::sim {
namespace {

// The row and letter of a seat name "07F号".
std::pair<int, std::string> RowAndLetter(const std::string& seatName) {
  return {std::stoi(seatName.substr(0, 2)), seatName.substr(2, 1)};
}

TEST(SimSeats, AskedPositionsAreGivenInTheirRowsWhenFree) {
  struct Case {
    const char* name;
    std::string seat, chooseSeats;
    std::set<std::string> taken;
    std::vector<std::string> letters;  // given, in order; "?" for any other
    std::vector<int> rowSteps;         // rows after the first passenger's
  };
  const Case cases[] = {
      {"two F seats, one behind the other", "O", "1F2F", {}, {"F", "F"}, {0, 1}},
      {"a window and its aisle seat in one row", "O", "1A1B", {}, {"A", "B"}, {0, 0}},
      {"F sold out: other seats", "O", "1F2F", {"F"}, {"?", "?"}, {0, 1}},
      {"B on 一等座, which has none", "M", "1B", {}, {"?"}, {0}},
      {"fewer asked than travel", "9", "1F", {}, {"F", "?"}, {0, 1}},
      {"a malformed text asks nothing", "O", "F1", {}, {"?"}, {0}},
  };
  for (const Case& c : cases) {
    Rng rng(7);
    const auto seats = AssignSeats(rng, c.seat, c.chooseSeats, "000", c.letters.size(), TakenPlaces{c.taken, {}});
    ASSERT_EQ(seats.size(), c.letters.size()) << c.name;
    const int firstRow = RowAndLetter(seats[0].seatName).first;
    for (std::size_t k = 0; k < seats.size(); ++k) {
      const auto [row, letter] = RowAndLetter(seats[k].seatName);
      EXPECT_EQ(letter, seats[k].position) << c.name;
      EXPECT_NE(PositionLetters(c.seat).find(letter), std::string::npos) << c.name << ": " << seats[k].seatName;
      EXPECT_EQ(c.taken.count(letter), 0u) << c.name << ": a sold-out position was given";
      if (c.letters[k] != "?") {
        EXPECT_EQ(letter, c.letters[k]) << c.name;
      }
      EXPECT_EQ(row - firstRow, c.rowSteps[k]) << c.name;
      EXPECT_TRUE(seats[k].berth.empty()) << c.name;
    }
  }
}

TEST(SimSeats, AskedBerthsAreGivenWhenTheClassHasThemFree) {
  struct Case {
    const char* name;
    std::string seat, seatDetailType;
    std::set<std::string> taken;
    std::vector<std::string> berths;  // given, in order; "" for any other
  };
  const Case cases[] = {
      {"a lower berth", "3", "100", {}, {"下铺"}},
      {"lower and middle for two", "3", "110", {}, {"下铺", "中铺"}},
      {"two uppers and a lower: lower first", "3", "102", {}, {"下铺", "上铺", "上铺"}},
      {"no middle berth in 软卧", "4", "010", {}, {""}},
      {"lower berths sold out", "3", "100", {"下铺"}, {""}},
  };
  for (const Case& c : cases) {
    Rng rng(11);
    const auto seats = AssignSeats(rng, c.seat, "", c.seatDetailType, c.berths.size(), TakenPlaces{{}, c.taken});
    ASSERT_EQ(seats.size(), c.berths.size()) << c.name;
    const std::vector<std::string> offered = BerthNames(c.seat);
    for (std::size_t k = 0; k < seats.size(); ++k) {
      EXPECT_NE(std::find(offered.begin(), offered.end(), seats[k].berth), offered.end()) << c.name;
      EXPECT_EQ(c.taken.count(seats[k].berth), 0u) << c.name;
      if (!c.berths[k].empty()) {
        EXPECT_EQ(seats[k].berth, c.berths[k]) << c.name;
      }
      EXPECT_TRUE(seats[k].seatName.ends_with(seats[k].berth)) << seats[k].seatName;
    }
  }
  Rng rng(3);
  const auto hardSeats = AssignSeats(rng, "1", "1F", "100", 2, {});
  EXPECT_TRUE(hardSeats[0].position.empty() && hardSeats[0].berth.empty()) << hardSeats[0].seatName;
}

TEST(SimStationSales, ADateOpensPresaleDaysAheadAtTheStationsTime) {
  StationSales sales(15);
  sales.Set({"VNP", 9 * 60 + 30});
  const auto opening = sales.OpeningMs("2026-12-25", "VNP");
  ASSERT_TRUE(opening);
  EXPECT_EQ(ChinaDateTimeText(*opening), "2026-12-11 09:30:00");
  EXPECT_FALSE(sales.OpeningMs("2026-12-32", "VNP"));
  // A station not set opens at a half hour from 08:00 to 17:00, the same on every call.
  const int minute = sales.MinuteOf("AOH");
  EXPECT_GE(minute, 8 * 60);
  EXPECT_LE(minute, 17 * 60);
  EXPECT_EQ(minute % 30, 0);
  EXPECT_EQ(sales.MinuteOf("AOH"), minute);

  EXPECT_EQ(ParseStationSale("VNP@15:00")->minuteOfDay, 15 * 60);
  for (const char* bad : {"VNP", "vnp@15:00", "VNPX@15:00", "VNP@24:00", "VNP@9:00", "@15:00"}) {
    EXPECT_FALSE(ParseStationSale(bad)) << bad;
  }
}

}  // namespace
}  // namespace quillet::sim
