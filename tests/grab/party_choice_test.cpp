// The party's choice of date, train and seat class from one pass's answers.
#include "grab/party_choice.h"

#include "grab/class_seen.h"

#include <gtest/gtest.h>

#include "gbk.h"

namespace quillet::test {
namespace {

TrainRecord Train(const std::string& code, const std::string& second, const std::string& first = "--") {
  TrainRecord t;
  t.stationTrainCode = code;
  t.secondClassSeat = second;
  t.firstClassSeat = first;
  return t;
}

TEST(TicketsCoverParty, CountsAgainstThePartySize) {
  struct Case {
    std::string text;
    int party;
    bool covered;
  };
  const Case cases[] = {
      {"2", 2, true},
      {"1", 2, false},
      {"15", 5, true},
      {"007", 5, true},
      {G(u8"有"), 5, true},
      {G(u8"无"), 1, false},
      {"--", 1, false},
      {"*", 1, false},
      {"", 1, false},
      {"1a", 1, false},
      {"-3", 1, false},
      {G(u8"候补"), 1, false},
      {"99999999999999999999", 5, true},
      {"0", 1, false},
  };
  for (const Case& c : cases) EXPECT_EQ(TicketsCoverParty(c.text, c.party), c.covered) << c.text << " for " << c.party;
}

TEST(ChoosePartySeat, FollowsDatesThenTrainsThenSeats) {
  struct Case {
    const char* name;
    std::vector<std::string> trains;
    std::vector<std::string> seats;
    int party;
    std::vector<std::vector<TrainRecord>> answers;
    std::optional<std::tuple<std::string, std::string, std::string>> expected;  // date, train, seat
  };
  const Case cases[] = {
      {"one ticket does not seat two", {"G1"}, {"O"}, 2, {{Train("G1", "1")}}, std::nullopt},
      {"two tickets seat two", {"G1"}, {"O"}, 2, {{Train("G1", "2")}}, {{"d1", "G1", "O"}}},
      {"the second date when only it has tickets",
       {"G1"},
       {"O"},
       2,
       {{Train("G1", G(u8"无"))}, {Train("G1", G(u8"有"))}},
       {{"d2", "G1", "O"}}},
      {"an earlier date beats a preferred train",
       {"G1", "G2"},
       {"O"},
       1,
       {{Train("G1", "--"), Train("G2", "3")}, {Train("G1", "3")}},
       {{"d1", "G2", "O"}}},
      {"train preference over answer order",
       {"G2", "G1"},
       {"O"},
       1,
       {{Train("G1", "5"), Train("G2", "5")}},
       {{"d1", "G2", "O"}}},
      {"a preferred train beats a preferred seat",
       {"G1", "G2"},
       {"M", "O"},
       1,
       {{Train("G1", "5", "--"), Train("G2", "5", "5")}},
       {{"d1", "G1", "O"}}},
      {"seat preference within a train", {"G1"}, {"M", "O"}, 1, {{Train("G1", "5", "5")}}, {{"d1", "G1", "M"}}},
      {"any train in the answer's order",
       {},
       {"O"},
       2,
       {{Train("G9", "1"), Train("G5", "2"), Train("G1", "9")}},
       {{"d1", "G5", "O"}}},
      {"unnamed trains are never chosen", {"G1"}, {"O"}, 1, {{Train("G2", "9")}}, std::nullopt},
      {"not on sale yet", {}, {"O", "M"}, 1, {{Train("G1", "*", "*")}}, std::nullopt},
      {"a failed query hands in nothing", {"G1"}, {"O"}, 1, {{}, {Train("G1", "1")}}, {{"d2", "G1", "O"}}},
      {"fewer answers than dates", {"G1"}, {"O"}, 1, {{Train("G1", "0")}}, std::nullopt},
  };
  for (const Case& c : cases) {
    PartyWish wish{{"d1", "d2"}, c.trains, c.seats, c.party};
    const auto choice = ChoosePartySeat(wish, c.answers);
    ASSERT_EQ(choice.has_value(), c.expected.has_value()) << c.name;
    if (!choice) continue;
    const auto& [date, train, seat] = *c.expected;
    EXPECT_EQ(choice->date, date) << c.name;
    EXPECT_EQ(wish.dates[choice->dateIndex], date) << c.name;
    EXPECT_EQ(choice->train.stationTrainCode, train) << c.name;
    EXPECT_EQ(choice->seatCode, seat) << c.name;
  }
}

TEST(ClassesSeen, KeepsTheBestTextPerClassOverTheNamedTrainsAndDates) {
  ClassesSeen seen({"O", "M"}, {"G101", "G103"});
  seen.Answered("2026-12-20", {Train("G101", G(u8"无"), "3"), Train("G999", G(u8"有"), G(u8"有"))});
  seen.Answered("2026-12-21", {Train("G103", "12", "--"), Train("G101", "--", "2")});
  seen.Answered("2026-12-22", {Train("G101", G(u8"候补"), "3")});
  const std::vector<ClassSeen> best = seen.Best();
  ASSERT_EQ(best.size(), 2u);
  // A count beats the service's other words; an unnamed train and "--" count for nothing.
  EXPECT_EQ(best[0].seatType, "O");
  EXPECT_EQ(best[0].tickets, "12");
  EXPECT_EQ(best[0].train, "G103");
  EXPECT_EQ(best[0].date, "2026-12-21");
  // Of equal counts the first seen stays.
  EXPECT_EQ(best[1].tickets, "3");
  EXPECT_EQ(best[1].date, "2026-12-20");

  ClassesSeen anyTrain({"O", "A9"}, {});
  anyTrain.Answered("2026-12-20", {Train("G1", G(u8"无")), Train("G2", "99999"), Train("G3", G(u8"有"))});
  EXPECT_EQ(anyTrain.Best()[0].tickets, G(u8"有"));
  EXPECT_EQ(anyTrain.Best()[0].train, "G3");
  EXPECT_EQ(anyTrain.Best()[1].tickets, "") << "no train showed the class";

  ClassesSeen onlyWords({"O"}, {});
  onlyWords.Answered("2026-12-20", {Train("G1", "--"), Train("G2", G(u8"无")), Train("G3", G(u8"候补"))});
  EXPECT_EQ(onlyWords.Best()[0].tickets, G(u8"无"));
}

}  // namespace
}  // namespace quillet::test
