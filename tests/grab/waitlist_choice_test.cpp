// When a party wish places a waitlist order, and with which choices.
#include "grab/waitlist_choice.h"

#include <gtest/gtest.h>

#include "gbk.h"

namespace quillet::test {
namespace {

WaitlistTrain Train(const std::string& code, const std::string& second, const std::string& first, bool open,
                    const std::string& departs = "08:00") {
  WaitlistTrain t;
  t.record.stationTrainCode = code;
  t.record.secondClassSeat = second;
  t.record.firstClassSeat = first;
  t.record.startTime = departs;
  t.waitlistOpen = open;
  return t;
}

using Answers = std::vector<std::optional<std::vector<WaitlistTrain>>>;

std::string Choices(const std::optional<WaitlistPlacement>& placement) {
  if (!placement) return "none";
  std::string text = placement->date + ":";
  for (const auto& choice : placement->choices) text += " " + choice.train.stationTrainCode + "/" + choice.seatCode;
  return text;
}

TEST(ChooseWaitlist, OnlyWhenNothingCanBeGrabbedAndSomeWaitlistIsOpen) {
  const std::string none = G(u8"无");
  const PartyWish wish{{"2026-12-20", "2026-12-21"}, {"G2", "G1"}, {"O", "M"}, 2};
  const struct {
    const char* name;
    Answers answers;
    std::string expected;
  } cases[] = {
      {"both dates sold out, open on the first",
       {std::vector{Train("G1", none, none, true), Train("G2", none, "--", true)},
        std::vector{Train("G1", none, none, true)}},
       "2026-12-20: G2/O G1/O G1/M"},
      {"the first date closed: the second",
       {std::vector{Train("G1", none, none, false)}, std::vector{Train("G1", none, "--", true)}},
       "2026-12-21: G1/O"},
      {"tickets for the party on a later date: grabbing books them",
       {std::vector{Train("G1", none, none, true)}, std::vector{Train("G2", "5", none, true)}},
       "none"},
      {"one ticket does not cover two, and is no waitlist class either",
       {std::vector{Train("G1", "1", none, true)}, std::vector{Train("G1", none, none, false)}},
       "2026-12-20: G1/M"},
      {"a date without an answer", {std::vector{Train("G1", none, none, true)}, std::nullopt}, "none"},
      {"not yet on sale", {std::vector{Train("G1", "*", "*", true)}, std::vector<WaitlistTrain>{}}, "none"},
      {"a train the wish does not name",
       {std::vector{Train("G9", none, none, true)}, std::vector<WaitlistTrain>{}},
       "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(Choices(ChooseWaitlist(wish, c.answers)), c.expected) << c.name;
}

TEST(ChooseWaitlist, AtMostSixChoicesAndAnyTrainWhenNoneIsNamed) {
  const std::string none = G(u8"无");
  std::vector<WaitlistTrain> trains;
  for (int i = 1; i <= 5; ++i) trains.push_back(Train("G" + std::to_string(i), none, none, true));
  const PartyWish anyTrain{{"2026-12-20"}, {}, {"O", "M"}, 1};
  EXPECT_EQ(Choices(ChooseWaitlist(anyTrain, {trains})), "2026-12-20: G1/O G1/M G2/O G2/M G3/O G3/M");
}

TEST(LatestWaitlistDeadline, TwoHoursBeforeTheEarliestDeparture) {
  const auto placement = [](std::vector<std::string> departures) {
    WaitlistPlacement p{0, "2026-12-20", {}};
    for (const std::string& d : departures) p.choices.push_back({Train("G1", "", "", true, d).record, "O"});
    return p;
  };
  EXPECT_EQ(LatestWaitlistDeadline(placement({"09:30", "08:15"})), "2026-12-20 06:15");
  EXPECT_EQ(LatestWaitlistDeadline(placement({"01:10"})), "2026-12-19 23:10");
  EXPECT_EQ(LatestWaitlistDeadline(placement({"8:15"})), "");
  EXPECT_EQ(ShiftMinuteText("2027-01-01 00:30", -60), "2026-12-31 23:30");
  EXPECT_EQ(ShiftMinuteText("2026-02-30 00:30", 0), "");
}

}  // namespace
}  // namespace quillet::test
