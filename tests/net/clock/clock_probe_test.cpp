// The clock probe over HTTP, against quillet-sim with its clock shifted.
#include "net/clock_probe.h"

#include <gtest/gtest.h>

#include <chrono>

#include "booking/service_paths.h"
#include "support/sim_harness.h"
#include "support/sim_json.h"

namespace quillet::net {
namespace {

using namespace std::chrono_literals;

ClockProbeTarget Target(const std::string& baseUrl) {
  ClockProbeTarget target;
  target.baseUrl = baseUrl;
  target.path = service_paths::kApplicationRoot;
  return target;
}

TEST(DateHeader, ReadsTheLastDateInAnyHttpForm) {
  const std::vector<std::pair<std::vector<std::string>, std::optional<std::int64_t>>> cases = {
      {{"HTTP/1.1 200 OK", "Date: Sun, 06 Nov 1994 08:49:37 GMT", "Server: nginx"}, 784111777},
      {{"date:Sunday, 06-Nov-94 08:49:37 GMT"}, 784111777},
      {{"DATE: Sun Nov  6 08:49:37 1994"}, 784111777},
      {{"Date: Sun, 06 Nov 1994 08:49:37 GMT", "Date: Sun, 06 Nov 1994 08:49:38 GMT"}, 784111778},
      {{"HTTP/1.1 204 No Content", "Server: x"}, std::nullopt},
      {{"Date: tomorrow"}, std::nullopt},
      {{"Date:"}, std::nullopt},
      {{"X-Date: Sun, 06 Nov 1994 08:49:37 GMT"}, std::nullopt},
  };
  for (const auto& [lines, seconds] : cases) EXPECT_EQ(DateHeaderSeconds(lines), seconds) << lines.front();
}

class ClockProbeSimTest : public ::testing::TestWithParam<long long> {};

// On loopback the estimate finds the shift of the sim's clock to within
// ±50 ms, and says how sure it is.
TEST_P(ClockProbeSimTest, EstimateFindsTheShiftOfTheServiceClock) {
  const long long shiftMs = GetParam();
  test::SimProcess sim({"--clock-shift-ms", std::to_string(shiftMs)});
  ASSERT_TRUE(sim.Running());
  HttpClockProber prober(Target(sim.BaseUrl()));
  const ClockEstimateResult result = EstimateServiceClock(MachineClockProbing(prober));
  ASSERT_EQ(result.outcome, ClockEstimateOutcome::kEstimated);
  const ServiceClockEstimate& e = result.estimate;
  const auto offset = e.OffsetFromSystemClock();
  const double offsetMs = std::chrono::duration<double, std::milli>(offset).count();
  RecordProperty("estimate", OffsetText(offset, e.uncertainty) + " in " + std::to_string(e.probes) + " probes");
  EXPECT_NEAR(offsetMs, static_cast<double>(shiftMs), 50.0) << OffsetText(offset, e.uncertainty);
  EXPECT_TRUE(e.tight) << OffsetText(offset, e.uncertainty);
  EXPECT_LE(e.uncertainty, 50ms);

  // The probes were light requests: HEAD of the application's root, nothing else.
  test::Json log;
  ASSERT_TRUE(test::JsonReader::Parse(sim.Requests(), log));
  EXPECT_EQ(static_cast<int>(log.items.size()), e.probes);
  for (const test::Json& entry : log.items) {
    EXPECT_EQ(entry["method"].text, "HEAD");
    EXPECT_EQ(entry["path"].text, service_paths::kApplicationRoot);
    EXPECT_EQ(entry["headers"]["Cookie"].kind, test::Json::Kind::Null);
  }
}

INSTANTIATE_TEST_SUITE_P(Shifts, ClockProbeSimTest, ::testing::Values(1234LL, -700LL),
                         [](const auto& shift) { return shift.param < 0 ? "Behind" : "Ahead"; });

TEST(ClockProbe, AServiceThatCannotBeReachedGivesNoDate) {
  int port = 0;
  {
    test::SimProcess sim;  // a port that was free a moment ago and is closed now
    ASSERT_TRUE(sim.Running());
    port = sim.Port();
  }
  HttpClockProber prober(Target("http://127.0.0.1:" + std::to_string(port)));
  EXPECT_FALSE(prober.Probe());
  ClockEstimateSettings quick;
  quick.maxFailedProbes = 1;
  EXPECT_EQ(EstimateServiceClock(MachineClockProbing(prober), quick).outcome, ClockEstimateOutcome::kNoDate);
}

TEST(ClockProbe, AStopRequestEndsTheWaits) {
  test::SimProcess sim;
  ASSERT_TRUE(sim.Running());
  std::stop_source stop;
  HttpClockProber prober(Target(sim.BaseUrl()), stop.get_token());
  ClockProbing probing = MachineClockProbing(prober, stop.get_token());
  EXPECT_TRUE(probing.waitUntil(probing.now() - 1s)) << "a moment already past";
  stop.request_stop();
  const auto before = std::chrono::steady_clock::now();
  EXPECT_FALSE(probing.waitUntil(before + 60s));
  EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
  EXPECT_EQ(EstimateServiceClock(probing).outcome, ClockEstimateOutcome::kStopped) << "probes are cancelled too";
}

}  // namespace
}  // namespace quillet::net
