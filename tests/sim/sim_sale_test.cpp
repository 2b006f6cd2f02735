// Sale moments, the service's clock and its Date header.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <ctime>
#include <regex>
#include <thread>

#include "booking/service_paths.h"
#include "sim_fixture.h"
#include "support/sim_json.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

// The seat-count fields of a train text.
constexpr int kCountFields[] = {20, 22, 23, 24, 25, 26, 28, 29, 30, 31, 32};

std::int64_t UnixMsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// "yyyy-MM-dd HH:mm:ss" in China Standard Time of a Unix time in ms.
std::string ChinaMoment(std::int64_t unixMs) {
  const std::time_t t = static_cast<std::time_t>(unixMs / 1000) + 8 * 3600;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

Json ParseJson(const std::string& text) {
  Json json;
  EXPECT_TRUE(JsonReader::Parse(text, json)) << text;
  return json;
}

OrderValues OrderFor(const std::string& date, const std::vector<std::string>& train) {
  OrderValues v;
  v.date = date;
  v.fromTelecode = kFrom;
  v.toTelecode = kTo;
  v.fromName = kFromName;
  v.toName = kToName;
  v.train = train;
  return v;
}

class SimSaleTest : public ::testing::Test {
 protected:
  SimSaleTest() : sim_({"--seed", "7", "--release-every", "0"}), client_(sim_) {}
  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    // A train with second-class seats, picked on a day without a sale (a
    // train runs with the same classes every day).
    const auto trains = client_.Query(otherDate_, kFrom, kTo);
    const auto* train = FirstTrainWith(trains, "O");
    ASSERT_NE(train, nullptr);
    code_ = train->at(3);
    offered_ = *train;
    sim_.Release(date_, code_, "O", 3);
  }
  std::vector<std::string> QueryTrain(const std::string& date) {
    const auto trains = client_.Query(date, kFrom, kTo);
    const auto* train = FindTrain(trains, code_);
    return train ? *train : std::vector<std::string>{};
  }
  Json SetSale(const std::map<std::string, std::string>& fields) {
    return ParseJson(sim_.PostForm("/sim/sale", fields));
  }

  const std::string date_ = ChinaDatePlusDays(5);
  const std::string otherDate_ = ChinaDatePlusDays(6);
  SimProcess sim_;
  SimConversation client_;
  std::string code_;
  std::vector<std::string> offered_;  // the train on a day without a sale
};

TEST_F(SimSaleTest, BeforeTheMomentEveryOfferedClassIsNotOnSaleAndOrdersAreRefused) {
  ASSERT_TRUE(client_.SignIn());
  const Json set = SetSale({{"date", date_}, {"in_ms", "3600000"}});
  EXPECT_EQ(set["date"].text, date_);

  const auto train = QueryTrain(date_);
  ASSERT_GE(train.size(), 36u);
  EXPECT_EQ(train[11], "N");
  EXPECT_TRUE(Has(train[1], "起售")) << train[1];
  for (int f : kCountFields) {
    const auto i = static_cast<std::size_t>(f);
    EXPECT_EQ(train[i], offered_[i] == "--" ? "--" : "*") << "field " << f;
  }
  const SimAnswer refused = client_.SubmitOrderRequest(OrderFor(date_, train));
  EXPECT_TRUE(Has(refused.body, "\"status\":false")) << refused.body;
  EXPECT_TRUE(Has(refused.body, "尚未起售")) << refused.body;

  // Other dates go on as before.
  const auto other = QueryTrain(otherDate_);
  ASSERT_GE(other.size(), 36u);
  EXPECT_EQ(other[11], "Y");
  EXPECT_EQ(other[30], offered_[30]);
  EXPECT_TRUE(Has(sim_.Get("/sim/sales"), "\"date\":\"" + date_ + "\""));
}

TEST_F(SimSaleTest, TheStockAppearsExactlyAtTheMomentAsTheRequestLogShows) {
  ASSERT_TRUE(client_.SignIn());
  const Json set = SetSale({{"date", date_}, {"in_ms", "300"}});
  const auto opening = static_cast<std::int64_t>(set["moment_ms"].number);
  ASSERT_GT(opening, 0);

  // Query until the stock shows; a generous bound only against a hang.
  std::vector<bool> onSale;
  std::vector<std::string> train;
  const auto giveUp = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < giveUp) {
    train = QueryTrain(date_);
    ASSERT_GE(train.size(), 36u);
    onSale.push_back(train[11] == "Y");
    if (onSale.back()) break;
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(!onSale.empty() && onSale.back()) << "the sale never opened";
  EXPECT_EQ(train[30], "3");
  EXPECT_TRUE(Has(client_.SubmitOrderRequest(OrderFor(date_, train)).body, "\"data\":\"N\""));

  // Every query that arrived before the moment saw "*", every later one the stock.
  const Json log = ParseJson(sim_.Requests());
  std::vector<std::int64_t> arrivals;
  for (const Json& entry : log.items) {
    if (entry["path"].text == service_paths::kLeftTicketQuery && Has(entry["query"].text, date_)) {
      arrivals.push_back(static_cast<std::int64_t>(entry["unix_ms"].number));
    }
  }
  ASSERT_EQ(arrivals.size(), onSale.size());
  for (std::size_t i = 0; i < arrivals.size(); ++i) {
    EXPECT_EQ(onSale[i], arrivals[i] >= opening)
        << "query " << i << " arrived at " << arrivals[i] << ", opening " << opening;
  }
}

TEST(SimSaleOptions, MomentsGivenAtStartAreOnTheShiftedClock) {
  const std::string soon = ChinaDatePlusDays(4);
  const std::string later = ChinaDatePlusDays(5);
  const std::int64_t now = UnixMsNow();
  // The service's clock runs two hours ahead: a sale one hour ahead of the
  // machine's clock is open already, one three hours ahead is not.
  SimProcess sim({"--clock-shift-ms", "7200000", "--sale", soon + "@" + ChinaMoment(now + 3600000), "--sale",
                  later + "@" + ChinaMoment(now + 3 * 3600000) + ".250"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  const auto open = client.Query(soon, kFrom, kTo);
  const auto closed = client.Query(later, kFrom, kTo);
  ASSERT_NE(FirstTrainWith(open, "O"), nullptr);
  EXPECT_EQ(FirstTrainWith(closed, "O"), nullptr) << "no train of a date before its sale can be bought";
  const std::string sales = sim.Get("/sim/sales");
  EXPECT_TRUE(Has(sales, "\"moment\":\"" + ChinaMoment(now + 3 * 3600000) + ".250\"")) << sales;
}

TEST(SimSaleOptions, ControlEndpointChecksItsInput) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  const std::string date = ChinaDatePlusDays(3);
  const std::vector<std::map<std::string, std::string>> bad = {
      {{"date", "2026-02-30"}, {"in_ms", "100"}},
      {{"date", date}},
      {{"date", date}, {"in_ms", "100"}, {"moment", "2026-12-06 08:00:00"}},
      {{"date", date}, {"in_ms", "soon"}},
      {{"date", date}, {"moment", "2026-12-06 8:00:00"}},
      {{"date", date}, {"moment", "2026-12-06 08:00:60"}},
      {{"date", date}, {"moment", "2026-12-06 08:00:00.1234"}},
      {{"date", date}, {"moment", "1013-12-11 08:00:00"}},
  };
  for (const auto& fields : bad) {
    EXPECT_TRUE(Has(sim.PostForm("/sim/sale", fields), "\"error\"")) << fields.begin()->second;
  }
  EXPECT_EQ(sim.Get("/sim/sales").find(date), std::string::npos);
  const std::string set = sim.PostForm("/sim/sale", {{"date", date}, {"moment", "2026-12-06 08:00:00.5"}});
  EXPECT_TRUE(Has(set, "\"moment\":\"2026-12-06 08:00:00.500\"")) << set;
}

// Every answer carries the service's time as an IMF-fixdate Date header.
TEST(SimClock, DateHeaderFollowsTheShiftedClock) {
  const std::regex format(
      "(Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9] GMT");
  for (const std::int64_t shift : {0LL, -3600000LL, 86400000LL}) {
    SimProcess sim({"--clock-shift-ms", std::to_string(shift)});
    ASSERT_TRUE(sim.Running());
    httplib::Client client(sim.BaseUrl());
    const std::string query = std::string(service_paths::kLeftTicketQuery) +
                              "?leftTicketDTO.train_date=" + ChinaDatePlusDays(2) +
                              "&leftTicketDTO.from_station=VNP&leftTicketDTO.to_station=AOH&purpose_codes=ADULT";
    for (const std::string& path : {query, std::string("/otn/nothing"), std::string("/sim/state")}) {
      const auto answer = client.Head(path.c_str());
      ASSERT_TRUE(answer) << path;
      const std::string date = answer->get_header_value("Date");
      EXPECT_TRUE(std::regex_match(date, format)) << path << ": '" << date << "'";
      std::tm tm{};
      ASSERT_NE(strptime(date.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm), nullptr) << date;
      const std::int64_t headerMs = static_cast<std::int64_t>(timegm(&tm)) * 1000;
      // Whole seconds, read a moment ago: within a generous two seconds.
      EXPECT_NEAR(static_cast<double>(headerMs), static_cast<double>(UnixMsNow() + shift), 2000.0)
          << "shift " << shift << ", " << path << ": " << date;
    }
  }
}

}  // namespace
}  // namespace quillet::test
