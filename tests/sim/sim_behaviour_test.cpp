// Daily hours, a moved query path and throttling, against a started sim.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "booking/service_paths.h"
#include "sim_fixture.h"

namespace quillet::test {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

std::string QueryText(const std::string& path, const std::string& date) {
  return path + "?leftTicketDTO.train_date=" + date + "&leftTicketDTO.from_station=" + kFrom +
         "&leftTicketDTO.to_station=" + kTo + "&purpose_codes=ADULT";
}

// "HH:MM-HH:MM" of the China Standard Time clock `fromHours` to `toHours` hours from now.
std::string HoursAround(int fromHours, int toHours) {
  const auto now = std::chrono::duration_cast<std::chrono::minutes>(
                       std::chrono::system_clock::now().time_since_epoch() + std::chrono::hours(8))
                       .count();
  const auto clock = [&](int hours) {
    const long long minute = ((now + hours * 60) % 1440 + 1440) % 1440;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld", minute / 60, minute % 60);
    return std::string(buf);
  };
  return clock(fromHours) + "-" + clock(toHours);
}

TEST(SimBehaviour, OrderStepsAreRefusedOutsideTheHoursAndQueriesAnswered) {
  SimProcess sim({"--hours", HoursAround(2, 3), "--release-every", "0"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  ASSERT_TRUE(client.SignIn());
  const OrderValues v = PrepareOrder(sim, client, 2);
  ASSERT_FALSE(v.train.empty()) << "queries are answered while closed";
  const SimAnswer refused = client.SubmitOrderRequest(v);
  EXPECT_TRUE(Has(refused.body, "\"status\":false")) << refused.body;
  EXPECT_TRUE(Has(refused.body, "系统维护时间")) << refused.body;
}

TEST(SimBehaviour, OrdersGoInWithinTheHours) {
  SimProcess sim({"--hours", HoursAround(-1, 1), "--release-every", "0"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  ASSERT_TRUE(client.SignIn());
  const OrderValues v = PrepareOrder(sim, client, 2);
  const SimAnswer taken = client.SubmitOrderRequest(v);
  EXPECT_TRUE(Has(taken.body, "\"status\":true")) << taken.body;
}

TEST(SimBehaviour, AMovedQueryPathIsNamedByTheOldOne) {
  SimProcess sim({"--query-path", "leftTicket/queryZ"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  const std::string date = ChinaDatePlusDays(3);
  const SimAnswer old = client.Get(QueryText(service_paths::kLeftTicketQuery, date));
  EXPECT_EQ(old.status, 200);
  EXPECT_TRUE(Has(old.body, "\"status\":false")) << old.body;
  EXPECT_TRUE(Has(old.body, "\"c_url\":\"leftTicket/queryZ\"")) << old.body;
  const SimAnswer moved = client.Get(QueryText("/otn/leftTicket/queryZ", date));
  EXPECT_EQ(moved.status, 200);
  EXPECT_TRUE(Has(moved.body, "\"result\":[\"")) << moved.body;
}

TEST(SimBehaviour, AClientQueryingTooFastIsThrottledAndOthersAreNot) {
  SimProcess sim({"--throttle", "2"});
  ASSERT_TRUE(sim.Running());
  SimConversation fast(sim);
  SimConversation other(sim);
  fast.Get(service_paths::kLoginPage);
  other.Get(service_paths::kLoginPage);
  const std::string date = ChinaDatePlusDays(3);
  const std::string query = QueryText(service_paths::kLeftTicketQuery, date);
  // Within one second: the third is one too many.
  EXPECT_EQ(fast.Get(query).status, 200);
  EXPECT_EQ(fast.Get(query).status, 200);
  const SimAnswer third = fast.Get(query);
  EXPECT_EQ(third.status, 302);
  EXPECT_TRUE(Has(third.location, "/otn/view/error.html")) << third.location;
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(fast.Get(query).status, 302) << "throttled for 10 s";
  EXPECT_EQ(other.Get(query).status, 200) << "another session is not";
  const SimAnswer page = fast.Get("/otn/view/error.html");
  EXPECT_TRUE(Has(page.body, "网络繁忙")) << page.body;
}

}  // namespace
}  // namespace quillet::test
