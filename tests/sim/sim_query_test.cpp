// The left-ticket query of a running quillet-sim.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "booking/service_paths.h"
#include "sim_fixture.h"

namespace quillet::test {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

std::string QueryPath(const std::string& date, const std::string& from, const std::string& to,
                      const std::string& purpose = "ADULT") {
  return std::string(service_paths::kLeftTicketQuery) + "?leftTicketDTO.train_date=" + date +
         "&leftTicketDTO.from_station=" + from + "&leftTicketDTO.to_station=" + to + "&purpose_codes=" + purpose;
}

TEST(SimQuery, AnswerHasTheShapeTheClientCutsApart) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);  // no login needed
  const std::string date = ChinaDatePlusDays(3);
  std::string raw;
  const auto trains = client.Query(date, kFrom, kTo, "ADULT", &raw);
  EXPECT_TRUE(Has(raw, "\"status\":true,\"httpstatus\":200,\"data\":{\"flag\":\"1\",\"map\":{"));
  EXPECT_TRUE(Has(raw, "]},\"messages\":\"\",\"validateMessages\":{}}")) << "result closes data, messages is empty";
  EXPECT_FALSE(Has(raw, "messages\":[\""));
  EXPECT_TRUE(Has(raw, "\"VNP\":\"北京南\"") && Has(raw, "\"AOH\":\"上海虹桥\""));
  ASSERT_GE(trains.size(), 8u);
  ASSERT_LE(trains.size(), 30u);

  const std::string compact = date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2);
  const std::regex clock("[0-2][0-9]:[0-5][0-9]");
  const std::regex count("--|无|有|\\*|[1-9]|1[0-9]");
  std::set<std::string> codes;
  bool anyBookable = false;
  for (const auto& t : trains) {
    ASSERT_GE(t.size(), 36u);
    EXPECT_TRUE(codes.insert(t[3]).second) << "train listed twice: " << t[3];
    EXPECT_NE(std::string("GDKTZ").find(t[3][0]), std::string::npos) << t[3];
    EXPECT_TRUE(Has(t[0], "%2B") && Has(t[0], "%2F") && Has(t[0], "%3D")) << t[0];
    EXPECT_EQ(t[2].size(), 12u);
    EXPECT_EQ(t[6], kFrom);
    EXPECT_EQ(t[7], kTo);
    EXPECT_TRUE(std::regex_match(t[8], clock) && std::regex_match(t[9], clock)) << t[8] << " " << t[9];
    EXPECT_TRUE(std::regex_match(t[10], std::regex("[0-9][0-9]:[0-5][0-9]"))) << t[10];
    EXPECT_TRUE(t[11] == "Y" || t[11] == "N");
    anyBookable |= t[11] == "Y";
    EXPECT_EQ(t[13], compact);
    EXPECT_EQ(t[15].size(), 2u);
    for (int f : {20, 22, 23, 24, 25, 26, 28, 29, 30, 31, 32}) {
      EXPECT_TRUE(std::regex_match(t[static_cast<std::size_t>(f)], count))
          << t[3] << " field " << f << ": " << t[static_cast<std::size_t>(f)];
    }
    const bool fast = t[3][0] == 'G' || t[3][0] == 'D';
    EXPECT_EQ(t[30] != "--", fast) << t[3] << ": second class on G and D trains only";
    EXPECT_EQ(t[29] != "--", !fast) << t[3] << ": hard seats on K, T and Z trains only";
  }
  EXPECT_TRUE(anyBookable);
}

struct QueryRefusal {
  const char* name;
  std::string path;
  const char* message;
};

void PrintTo(const QueryRefusal& c, std::ostream* os) { *os << c.name; }

class SimQueryRefusalTest : public ::testing::TestWithParam<QueryRefusal> {};

TEST_P(SimQueryRefusalTest, RefusesWithAMessage) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  const SimAnswer answer = client.Get(GetParam().path);
  EXPECT_TRUE(Has(answer.body, "\"status\":false")) << answer.body;
  EXPECT_TRUE(Has(answer.body, std::string("\"messages\":[\"") + GetParam().message)) << answer.body;
  EXPECT_FALSE(Has(answer.body, "result\":["));
}

INSTANTIATE_TEST_SUITE_P(
    Queries, SimQueryRefusalTest,
    ::testing::Values(
        QueryRefusal{"Yesterday", QueryPath(ChinaDatePlusDays(-1), "VNP", "AOH"), "选择的查询日期不在预售日期范围内"},
        QueryRefusal{"ThirtyDaysAhead", QueryPath(ChinaDatePlusDays(30), "VNP", "AOH"),
                     "选择的查询日期不在预售日期范围内"},
        QueryRefusal{"NotADate", QueryPath("2026-2-3", "VNP", "AOH"), "选择的查询日期不在预售日期范围内"},
        QueryRefusal{"UnknownTelecode", QueryPath(ChinaDatePlusDays(1), "XXX", "AOH"), "出发地或目的地不存在"},
        QueryRefusal{"NameInsteadOfTelecode", QueryPath(ChinaDatePlusDays(1), "VNP", "上海|SHH"),
                     "出发地或目的地不存在"},
        QueryRefusal{"EmptyTelecode", QueryPath(ChinaDatePlusDays(1), "VNP", ""), "出发地或目的地不存在"},
        QueryRefusal{"SameStation", QueryPath(ChinaDatePlusDays(1), "VNP", "VNP"), "出发地与目的地不能相同"},
        QueryRefusal{"UnknownPurpose", QueryPath(ChinaDatePlusDays(1), "VNP", "AOH", "STUDENT"), "查询参数有误"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(SimQuery, PresaleWindowRunsFromTodayToTwentyNineDaysAhead) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  for (int days : {0, 29}) {
    EXPECT_FALSE(client.Query(ChinaDatePlusDays(days), kFrom, kTo).empty()) << days;
    EXPECT_FALSE(client.Query(ChinaDatePlusDays(days), kFrom, kTo, "0X00").empty()) << days;
  }
}

TEST(SimQuery, SameSeedGivesTheSameTrainsAndPictures) {
  const auto run = [](const char* seed, std::string& query, std::string& picture, std::vector<int>& cells) {
    SimProcess sim({"--seed", seed});
    ASSERT_TRUE(sim.Running());
    SimConversation client(sim);
    client.Query(ChinaDatePlusDays(2), "BJP", "CQW", "ADULT", &query);
    client.Get(service_paths::kLoginPage);
    picture = client.Get(std::string(service_paths::kCaptchaPicturePath) + "?module=login&rand=sjrand").body;
    cells = sim.CaptchaCells(client.SessionId());
  };
  std::string q1, q2, q3, p1, p2, p3;
  std::vector<int> c1, c2, c3;
  run("41", q1, p1, c1);
  run("41", q2, p2, c2);
  run("42", q3, p3, c3);
  EXPECT_EQ(q1, q2);
  EXPECT_EQ(p1, p2);
  EXPECT_EQ(c1, c2);
  EXPECT_NE(q1, q3);
  EXPECT_NE(p1, p3);
}

TEST(SimQuery, ReleasedTicketsShowAsCounts) {
  SimProcess sim({"--release-every", "0"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  const std::string date = ChinaDatePlusDays(4);
  const auto trains = client.Query(date, kFrom, kTo);
  const auto* train = FirstTrainWith(trains, "O");
  ASSERT_NE(train, nullptr);
  const std::string code = train->at(3);
  for (const auto& [count, shown] :
       std::vector<std::pair<int, std::string>>{{7, "7"}, {19, "19"}, {20, "有"}, {0, "无"}}) {
    EXPECT_TRUE(Has(sim.Release(date, code, "O", count), "\"count\":" + std::to_string(count)));
    EXPECT_EQ(FindTrain(client.Query(date, kFrom, kTo), code)->at(30), shown);
  }
  // Also for a student query, and the stock the control side reads.
  sim.Release(date, code, "O", 3);
  EXPECT_EQ(FindTrain(client.Query(date, kFrom, kTo, "0X00"), code)->at(30), "3");
  EXPECT_TRUE(Has(sim.Get("/sim/stock?date=" + date + "&train=" + code + "&seat=O"), "{\"count\":3}"));
}

TEST(SimQuery, TicketsComeBackOverTime) {
  SimProcess sim({"--release-every", "0.2", "--seed", "5"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  const std::string date = ChinaDatePlusDays(1);
  std::string first;
  client.Query(date, kFrom, kTo, "ADULT", &first);
  bool changed = false;
  for (int i = 0; i < 50 && !changed; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::string now;
    client.Query(date, kFrom, kTo, "ADULT", &now);
    changed = now != first;
  }
  EXPECT_TRUE(changed) << "no ticket came back in 10 s";
}

}  // namespace
}  // namespace quillet::test
