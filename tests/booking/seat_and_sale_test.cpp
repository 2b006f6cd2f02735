// The order's seat wishes as the confirmation sends them, the seats read back
// from the account's order list, and the stations' sale openings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "booking/order_seats.h"
#include "booking/seat_choice.h"
#include "booking/station_sale_times.h"
#include "util/china_moment.h"
#include "util/codepage.h"

namespace quillet {
namespace {

using P = SeatPosition;

TEST(ChooseSeatsText, PutsEachLetterInTheFirstRowThatStillHasIt) {
  struct Case {
    std::vector<SeatPosition> positions;
    std::string text;
  };
  const Case cases[] = {
      {{}, ""},
      {{P::kF}, "1F"},
      {{P::kF, P::kA}, "1F1A"},
      {{P::kF, P::kF}, "1F2F"},
      {{P::kA, P::kB, P::kC, P::kD, P::kF}, "1A1B1C1D1F"},
      {{P::kD, P::kF, P::kD, P::kF}, "1D1F2D2F"},
      {{P::kA, P::kA, P::kA}, "1A2A3A"},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseSeatsText(c.positions), c.text) << c.text;
}

TEST(SeatDetailTypeText, CountsLowerMiddleAndUpperBerths) {
  using B = Berth;
  struct Case {
    std::vector<Berth> berths;
    std::string text;
  };
  const Case cases[] = {
      {{}, "000"},
      {{B::kLower}, "100"},
      {{B::kLower, B::kMiddle}, "110"},
      {{B::kUpper, B::kLower, B::kUpper}, "102"},
      {std::vector<Berth>(12, B::kMiddle), "090"},
  };
  for (const Case& c : cases) EXPECT_EQ(SeatDetailTypeText(c.berths), c.text) << c.text;
}

TEST(SeatPlaces, NamesAndClassesAsTheServiceHasThem) {
  EXPECT_EQ(SeatPositionNamed("F"), P::kF);
  for (const char* bad : {"", "E", "f", "AB", "G"}) EXPECT_FALSE(SeatPositionNamed(bad)) << bad;
  EXPECT_EQ(BerthNamed(Gbk(u8"下铺")), Berth::kLower);
  EXPECT_EQ(BerthNamed(Gbk(u8"上铺")), Berth::kUpper);
  EXPECT_FALSE(BerthNamed(Gbk(u8"硬卧")));
  EXPECT_EQ(PositionsOfSeatClass("9"), "ACF");
  EXPECT_EQ(PositionsOfSeatClass("M"), "ACDF");
  EXPECT_EQ(PositionsOfSeatClass("O"), "ABCDF");
  EXPECT_TRUE(PositionsOfSeatClass("1").empty());
  EXPECT_EQ(BerthsOfSeatClass("3").size(), 3u);
  EXPECT_EQ(BerthsOfSeatClass("4").size(), 2u);
  EXPECT_TRUE(BerthsOfSeatClass("O").empty());
}

TEST(ReadOrderSeats, ReadsTheTicketsOfTheOneOrder) {
  // Two orders, the second one of two tickets; names as the service sends them.
  const std::string answer =
      Gbk(u8R"({"data":{"orderDBList":[{"sequence_no":"E111","tickets":[{"stationTrainDTO":{},"passengerDTO":)"
          u8R"({"passenger_name":"王芳"},"ticket_no":"E1111","sequence_no":"E111","coach_no":"02","coach_name":"02",)"
          u8R"("seat_no":"0001","seat_name":"001号"}]},{"sequence_no":"E222","tickets":[{"stationTrainDTO":{},)"
          u8R"("passengerDTO":{"passenger_name":"张伟"},"sequence_no":"E222","coach_name":"05","seat_name":"07F号",)"
          u8R"("lose_time":"2026-12-20 09:45:02"},)"
          u8R"({"stationTrainDTO":{},"passengerDTO":{"passenger_name":"李娜"},"sequence_no":"E222","coach_name":"05",)"
          u8R"("seat_name":"08F号"}],"array_passser_name_page":["张伟","李娜"]}]},"status":true})");
  const std::vector<BookedSeat> seats = ReadOrderSeats(answer, "E222");
  ASSERT_EQ(seats.size(), 2u);
  EXPECT_EQ(seats[0].passengerName, Gbk(u8"张伟"));
  EXPECT_EQ(seats[0].coach, "05");
  EXPECT_EQ(seats[0].seatName, Gbk(u8"07F号"));
  EXPECT_EQ(seats[0].payBy, "2026-12-20 09:45:02");
  EXPECT_EQ(seats[1].payBy, "");  // not given
  EXPECT_EQ(seats[1].passengerName, Gbk(u8"李娜"));
  EXPECT_EQ(seats[1].seatName, Gbk(u8"08F号"));
  EXPECT_EQ(ReadOrderSeats(answer, "E111").size(), 1u);
  EXPECT_TRUE(ReadOrderSeats(answer, "E333").empty());
  EXPECT_TRUE(ReadOrderSeats(answer, "").empty());
  EXPECT_TRUE(ReadOrderSeats(R"({"data":{"to_page":"db"},"status":true})", "E222").empty());
}

TEST(ReadStationSaleTimes, ReadsTheTableAndItsPresalePeriod) {
  const auto times = ReadStationSaleTimes(
      "var citys={\"VNP\":\"08:00\",\"AOH\":\"15:30\",\"bad\":\"09:00\",\"BJP\":\"25:00\",\"SHH\":9};\n"
      "var presaleDays=14;\n");
  ASSERT_TRUE(times);
  EXPECT_EQ(times->openingMinute.size(), 2u);
  EXPECT_EQ(times->openingMinute.at("VNP"), 8 * 60);
  EXPECT_EQ(times->openingMinute.at("AOH"), 15 * 60 + 30);
  EXPECT_EQ(times->presaleDays, 14);

  const auto withoutPeriod = ReadStationSaleTimes("var citys={\"VNP\":\"08:00\"}");
  ASSERT_TRUE(withoutPeriod);
  EXPECT_EQ(withoutPeriod->presaleDays, StationSaleTimes::kDefaultPresaleDays);
  for (const char* bad : {"", "var citys={}", "var citys={\"VNP\":\"8\"}", "<html>busy</html>", "citys{"}) {
    EXPECT_FALSE(ReadStationSaleTimes(bad)) << bad;
  }
}

TEST(SaleOpeningOf, IsTheStationTimeOnTheFirstDayOfThePresalePeriod) {
  const auto opening = SaleOpeningOf("2026-12-25", 9 * 60 + 30, 15);
  ASSERT_TRUE(opening);
  EXPECT_EQ(ChinaMomentText(*opening), "2026-12-11 09:30:00.000");
  EXPECT_EQ(ChinaMomentText(*SaleOpeningOf("2026-12-25", 0, 1)), "2026-12-25 00:00:00.000");
  EXPECT_EQ(ChinaMomentText(*SaleOpeningOf("2027-01-03", 15 * 60, 15)), "2026-12-20 15:00:00.000");
  EXPECT_FALSE(SaleOpeningOf("2026-02-30", 0, 15));
  EXPECT_FALSE(SaleOpeningOf("soon", 0, 15));
}

}  // namespace
}  // namespace quillet
