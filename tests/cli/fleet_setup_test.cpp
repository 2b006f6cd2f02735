#include "cli/fleet_setup.h"

#include <gtest/gtest.h>

namespace quillet::cli {
namespace {

TEST(FleetSetup, TheCommandLineGoesBeforeThePlanAndThePasswordMayComeFromTheEnvironment) {
  Plan plan;
  plan.path = "/plans/spring.toml";
  plan.fleet = {"redis://10.0.0.5:6380/2", "", "10.0.0.7"};
  CommandLine line;

  FleetChoice fromPlan = ChooseFleet(line, plan, "secret");
  ASSERT_TRUE(fromPlan.error.empty()) << fromPlan.error;
  ASSERT_TRUE(fromPlan.address);
  EXPECT_EQ(fromPlan.address->password, "secret");
  EXPECT_EQ(fromPlan.name, "spring") << "named after the plan file without a name of its own";
  EXPECT_EQ(fromPlan.sourceAddress, "10.0.0.7");
  EXPECT_EQ(fromPlan.where, "10.0.0.5:6380/2") << "no password in messages";

  line.fleet = "redis://:inurl@[::1]:7000";
  line.sourceAddress = "127.0.0.3";
  plan.fleet.name = "spring-2027";
  const FleetChoice fromLine = ChooseFleet(line, plan, "secret");
  ASSERT_TRUE(fromLine.address);
  EXPECT_EQ(fromLine.address->password, "inurl");
  EXPECT_EQ(fromLine.name, "spring-2027");
  EXPECT_EQ(fromLine.sourceAddress, "127.0.0.3");
  EXPECT_EQ(fromLine.where, "[::1]:7000/0");

  line.fleet = "rediss://r";
  EXPECT_NE(ChooseFleet(line, plan, nullptr).error.find("tunnel"), std::string::npos);
  line.fleet.clear();
  plan.fleet = {};
  const FleetChoice none = ChooseFleet(line, plan, nullptr);
  EXPECT_FALSE(none.address);
  EXPECT_FALSE(none.error.empty()) << "--source-address without a fleet is a mistake";
  line.sourceAddress.clear();
  EXPECT_TRUE(ChooseFleet(line, plan, nullptr).error.empty());
}

TEST(FleetSetup, PassengersGoThroughTheFleetUnchanged) {
  const std::vector<PassengerRecord> passengers = {
      {"\xd5\xc5\xce\xb0", "M", "1", "adult", "1", "id card", "11010519850312001", "13812345678"},
      {"", "", "3", "", "1", "", "31010419900725002", ""},
  };
  const auto back = PassengersFromText(PassengersText(passengers));
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), 2u);
  for (std::size_t i = 0; i < passengers.size(); ++i) {
    EXPECT_EQ((*back)[i].passenger_name, passengers[i].passenger_name);
    EXPECT_EQ((*back)[i].passenger_type, passengers[i].passenger_type);
    EXPECT_EQ((*back)[i].passenger_id_no, passengers[i].passenger_id_no);
    EXPECT_EQ((*back)[i].mobile_no, passengers[i].mobile_no);
  }
  EXPECT_TRUE(PassengersFromText("")->empty());
  for (const std::string& bad : std::vector<std::string>{"no separators",
                                                         std::string("a\x1f"
                                                                     "b\x1e"),
                                                         std::string(9, '\x1f') + "\x1e"}) {
    EXPECT_FALSE(PassengersFromText(bad)) << bad;
  }
}

TEST(FleetSetup, TheStatusNamesMembersHoldersAndEachWishOfThePlan) {
  Plan plan;
  plan.accounts = {{0, "demo", SignInMethod::kCaptcha, {PlanWish{}, PlanWish{}}}, {0, "idle", {}, {PlanWish{}}}};
  fleet::FleetStatus status;
  status.members = {{"host-1", "127.0.0.2", 10'000}};
  status.accounts = {{"demo", "host-1"}};
  status.wishes = {
      {"demo/1", 3, fleet::WishOutcome{fleet::WishOutcomeKind::kBooked, "E123", "host-1", 9'000}, "host-1"},
      {"demo/2", 1, std::nullopt, "host-1"}};
  const std::string text = FleetStatusText(status, plan, 12'500);
  for (const char* line : {"  host-1  127.0.0.2  last heartbeat 2.5 s ago\n", "  demo  held by host-1\n",
                           "  idle  held by nobody\n", "  demo/1  3 attempts, booked by host-1, order E123\n",
                           "  demo/2  1 attempts, being ordered by host-1\n", "  idle/1  0 attempts, open\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
  }
}

}  // namespace
}  // namespace quillet::cli
