// The stations' sale openings as the service serves and enforces them, and
// the control side that sells out seat positions and berths.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "booking/service_paths.h"
#include "sim_fixture.h"

namespace quillet::test {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

std::int64_t UnixMsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// "HH:MM" of a Unix time in China Standard Time.
std::string ChinaClock(std::int64_t unixMs) {
  const std::time_t t = static_cast<std::time_t>(unixMs / 1000) + 8 * 3600;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[8];
  std::strftime(buf, sizeof buf, "%H:%M", &tm);
  return buf;
}

TEST(SimStationSale, TheTableNamesEveryStationWithItsOpeningAndThePresalePeriod) {
  SimProcess sim({"--station-sale", "VNP@09:30", "--presale-days", "12"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  const SimAnswer table = client.Get(service_paths::kStationSaleTimes);
  EXPECT_EQ(table.status, 200);
  EXPECT_TRUE(Has(table.body, "var citys={")) << table.body.substr(0, 200);
  EXPECT_TRUE(Has(table.body, "\"VNP\":\"09:30\""));
  EXPECT_TRUE(Has(table.body, "\"AOH\":\""));
  EXPECT_TRUE(Has(table.body, "var presaleDays=12;"));

  EXPECT_TRUE(Has(sim.PostForm("/sim/station-sale", {{"code", "VNP"}, {"time", "15:00"}}), "\"time\":\"15:00\""));
  EXPECT_TRUE(Has(client.Get(service_paths::kStationSaleTimes).body, "\"VNP\":\"15:00\""));
  for (const auto& [code, time] : {std::pair{"vnp", "15:00"}, std::pair{"VNP", "15"}, std::pair{"", "08:00"}}) {
    EXPECT_TRUE(Has(sim.PostForm("/sim/station-sale", {{"code", code}, {"time", time}}), "\"error\"")) << code << time;
  }
}

// The last date of the presale period opens today at the departure
// station's time: before it every class shows "*" and orders are refused;
// a date before it is on sale whatever the time.
TEST(SimStationSale, TheLastDateOfThePeriodOpensAtTheDepartureStationsTime) {
  // An opening an hour from now on the service's clock; late in the evening
  // that clock runs six hours behind, so that the opening falls on its today.
  const std::int64_t now = UnixMsNow();
  const std::int64_t msIntoDay = (now + 8 * 3600000LL) % 86400000LL;
  const std::int64_t shift = msIntoDay > 20 * 3600000LL ? -6 * 3600000LL : 0;
  const std::string opening = ChinaClock(now + shift + 3600000);
  SimProcess sim({"--station-sale", "VNP@" + opening, "--presale-days", "10", "--clock-shift-ms", std::to_string(shift),
                  "--release-every", "0"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  ASSERT_TRUE(client.SignIn());
  const std::int64_t serviceDay = (now + shift + 8 * 3600000LL) / 86400000LL;
  const auto dateAhead = [&](int days) {
    const std::time_t t = static_cast<std::time_t>((serviceDay + days) * 86400);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return std::string(buf);
  };
  const std::string last = dateAhead(9);
  const auto closed = client.Query(last, kFrom, kTo);
  const std::string notYet = opening.substr(0, 2) + "点" + opening.substr(3, 2) + "分起售";
  const std::vector<std::string>* sellable = nullptr;  // a train sold on the web
  for (const auto& train : closed) {
    EXPECT_EQ(train[11], "N");
    if (train[1] == "暂停发售") continue;
    EXPECT_EQ(train[1], notYet);
    sellable = &train;
  }
  ASSERT_NE(sellable, nullptr);
  OrderValues v;
  v.date = last;
  v.fromTelecode = kFrom;
  v.toTelecode = kTo;
  v.fromName = kFromName;
  v.toName = kToName;
  v.train = *sellable;
  EXPECT_TRUE(Has(client.SubmitOrderRequest(v).body, "尚未起售"));
  // An earlier date is on sale whatever the time.
  EXPECT_NE(FirstTrainWith(client.Query(dateAhead(8), kFrom, kTo), "O"), nullptr);
}

TEST(SimTakenPlaces, ControlChecksPositionsAndBerthsAgainstTheClass) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  const std::string date = ChinaDatePlusDays(3);
  EXPECT_TRUE(Has(sim.PostForm("/sim/taken", {{"date", date}, {"train", "G1"}, {"seat", "O"}, {"positions", "A,F"}}),
                  "{\"positions\":[\"A\",\"F\"],\"berths\":[]}"));
  EXPECT_TRUE(Has(sim.PostForm("/sim/taken", {{"date", date}, {"train", "K1"}, {"seat", "3"}, {"berths", "下铺,中铺"}}),
                  "\"berths\":[\"下铺\",\"中铺\"]"));
  const std::vector<std::map<std::string, std::string>> bad = {
      {{"date", "2026-02-30"}, {"train", "G1"}, {"seat", "O"}, {"positions", "F"}},
      {{"date", date}, {"seat", "O"}, {"positions", "F"}},
      {{"date", date}, {"train", "G1"}, {"seat", "M"}, {"positions", "B"}},
      {{"date", date}, {"train", "G1"}, {"seat", "1"}, {"positions", "A"}},
      {{"date", date}, {"train", "K1"}, {"seat", "4"}, {"berths", "中铺"}},
      {{"date", date}, {"train", "K1"}, {"seat", "3"}, {"berths", "卧铺"}},
  };
  for (const auto& fields : bad) EXPECT_TRUE(Has(sim.PostForm("/sim/taken", fields), "\"error\""));
}

}  // namespace
}  // namespace quillet::test
