// The worker's reading of a train's remaining-ticket fields.
#include <gtest/gtest.h>

#include "booking/records.h"
#include "grab/grab_controller.h"

namespace quillet {
namespace {

TEST(SeatTicketsFor, ReadsTheTrainFieldOfEachCode) {
  TrainRecord train;
  train.businessSeat = "b";
  train.firstClassSeat = "f";
  train.secondClassSeat = "s";
  train.softSleeper = "ss";
  train.hardSleeper = "hs";
  train.softSeat = "st";
  train.hardSeat = "h";
  train.deluxeSoftSleeper = "d";
  train.noSeat = "n";
  const std::pair<std::string, std::string> expected[] = {{"9", "b"},  {"M", "f"},  {"O", "s"}, {"4", "ss"},
                                                          {"3", "hs"}, {"2", "st"}, {"1", "h"}, {"A", "st"},
                                                          {"5", "ss"}, {"6", "d"}};
  for (const auto& [code, tickets] : expected) {
    std::string text = "unchanged";
    EXPECT_TRUE(SeatTicketsFor(train, code, text)) << code;
    EXPECT_EQ(text, tickets) << code;
  }
  for (const std::string code : {"", "W", "o", "9 "}) {
    std::string text = "unchanged";
    EXPECT_FALSE(SeatTicketsFor(train, code, text)) << code;
    EXPECT_EQ(text, "unchanged");
  }
}

}  // namespace
}  // namespace quillet
