// Trains chosen by their departure and arrival times, and the order in which
// unnamed trains are tried.
#include "grab/train_window.h"

#include <gtest/gtest.h>

#include "grab/party_choice.h"

namespace quillet::test {
namespace {

TrainRecord Train(const std::string& code, const std::string& start, const std::string& arrive,
                  const std::string& duration = "01:00") {
  TrainRecord t;
  t.stationTrainCode = code;
  t.startTime = start;
  t.arriveTime = arrive;
  t.duration = duration;
  t.secondClassSeat = "9";
  return t;
}

TEST(TimeWindow, ReadsBoundsAndRefusesWhatIsNoWindow) {
  struct Case {
    const char* text;
    TimeWindowProblem problem;
    std::optional<int> from, to;
  };
  const Case cases[] = {
      {"07:00-21:00", TimeWindowProblem::kNone, 420, 1260}, {"-22:30", TimeWindowProblem::kNone, {}, 1350},
      {"07:00-", TimeWindowProblem::kNone, 420, {}},        {" 00:00 - 23:59 ", TimeWindowProblem::kNone, 0, 1439},
      {"22:00-02:00", TimeWindowProblem::kNone, 1320, 120}, {"07:00", TimeWindowProblem::kNoSeparator, {}, {}},
      {"-", TimeWindowProblem::kNoBound, {}, {}},           {"", TimeWindowProblem::kNoSeparator, {}, {}},
      {"7:00-21:00", TimeWindowProblem::kBadFrom, {}, {}},  {"24:00-", TimeWindowProblem::kBadFrom, {}, {}},
      {"07:60-", TimeWindowProblem::kBadFrom, {}, {}},      {"07:00-21:00-22:00", TimeWindowProblem::kBadTo, {}, {}},
      {"-2230", TimeWindowProblem::kBadTo, {}, {}},
  };
  for (const Case& c : cases) {
    const TimeWindowReading reading = ReadTimeWindow(c.text);
    EXPECT_EQ(reading.problem, c.problem) << c.text;
    EXPECT_EQ(reading.window.from, c.from) << c.text;
    EXPECT_EQ(reading.window.to, c.to) << c.text;
  }
}

TEST(TimeWindow, BoundsAreIncludedAndAWindowPastMidnightWraps) {
  const TimeWindow day{420, 1260};
  EXPECT_TRUE(day.Contains(420));
  EXPECT_TRUE(day.Contains(1260));
  EXPECT_FALSE(day.Contains(419));
  EXPECT_FALSE(day.Contains(1261));
  const TimeWindow night{1320, 120};
  EXPECT_TRUE(night.Contains(1380));
  EXPECT_TRUE(night.Contains(60));
  EXPECT_FALSE(night.Contains(600));
}

TEST(TrainTimes, WindowsFilterAndTheOrderSortsTrainsNotNamed) {
  const std::vector<TrainRecord> answer = {
      Train("G1", "06:30", "11:00", "04:30"), Train("G2", "09:00", "13:30", "04:30"),
      Train("G3", "07:30", "11:15", "03:45"), Train("G4", "21:30", "23:59", "02:29"),
      Train("Z5", "20:00", "08:00", "12:00"), Train("G6", "--", "--", "--"),
  };
  struct Case {
    const char* name;
    TrainTimes times;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"no window: the answer's order", {}, {"G1", "G2", "G3", "G4", "Z5", "G6"}},
      {"depart window, earliest departure first", {{420, 1260}, {}, TrainOrder::kDeparture}, {"G3", "G2", "Z5"}},
      {"arrival before 12:00, earliest arrival first", {{}, {{}, 720}, TrainOrder::kArrival}, {"Z5", "G1", "G3"}},
      {"shortest journey first, unreadable last",
       {{}, {}, TrainOrder::kDuration},
       {"G4", "G3", "G1", "G2", "Z5", "G6"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> codes;
    for (const TrainRecord* train : TrainsInOrder(answer, c.times)) codes.push_back(train->stationTrainCode);
    EXPECT_EQ(codes, c.expected) << c.name;
  }
}

TEST(TrainTimes, APartyWishSkipsANamedTrainOutsideItsWindow) {
  const std::vector<TrainRecord> answer = {Train("G1", "06:30", "11:00"), Train("G2", "09:00", "13:30")};
  PartyWish wish{{"d1"}, {"G1", "G2"}, {"O"}, 1, {{420, {}}, {}, TrainOrder::kAnswer}};
  const auto choice = ChoosePartySeat(wish, {answer});
  ASSERT_TRUE(choice);
  EXPECT_EQ(choice->train.stationTrainCode, "G2");
  wish.times.depart = {1200, {}};
  EXPECT_FALSE(ChoosePartySeat(wish, {answer}));
}

}  // namespace
}  // namespace quillet::test
