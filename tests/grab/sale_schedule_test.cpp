// Sale schedules on simulated clocks: when the first query is sent, when the
// service's clock is estimated again, the quick passes after the opening,
// the machine's clock standing in, and one estimate shared by every wish.
#include "grab/sale_schedule.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using std::chrono::duration_cast;
using std::chrono::nanoseconds;

// A steady clock that moves only when waited on, and a system clock that
// reads it plus a fixed offset. Used from the test's thread only.
struct FakeClocks {
  SteadyTime steady = SteadyTime(1000s);
  nanoseconds systemMinusSteady = duration_cast<nanoseconds>(1'796'907'849s - 1000s);
  std::vector<SteadyTime> waits;  // every moment waited for

  SystemTime System() const {
    return SystemTime(duration_cast<SystemTime::duration>(steady.time_since_epoch() + systemMinusSteady));
  }
  ScheduleClocks Clocks() {
    ScheduleClocks clocks;
    clocks.steadyNow = [this] { return steady; };
    clocks.systemNow = [this] { return System(); };
    clocks.waitUntil = [this](SteadyTime moment, const std::stop_token& stop) {
      waits.push_back(moment);
      if (stop.stop_requested()) return false;
      steady = std::max(steady, moment);
      return true;
    };
    return clocks;
  }
};

// Estimates handed out in turn, each taking 3 s of steady time.
struct ScriptedEstimator {
  FakeClocks& clocks;
  std::deque<net::ClockEstimateResult> results;
  std::vector<SteadyTime> calls;  // when each estimate began

  ClockEstimator Estimator() {
    return [this](const std::stop_token&) {
      calls.push_back(clocks.steady);
      clocks.steady += 3s;
      net::ClockEstimateResult result = results.front();
      if (results.size() > 1) results.pop_front();
      return result;
    };
  }
};

// The service's clock `ahead` of the fake system clock.
net::ClockEstimateResult Estimated(const FakeClocks& clocks, nanoseconds ahead, nanoseconds uncertainty,
                                   nanoseconds roundTrip) {
  net::ClockEstimateResult result;
  result.outcome = net::ClockEstimateOutcome::kEstimated;
  result.estimate.serviceMinusSteady = clocks.systemMinusSteady + ahead;
  result.estimate.uncertainty = uncertainty;
  result.estimate.shortestRoundTrip = roundTrip;
  result.estimate.probes = 16;
  result.estimate.tight = true;
  return result;
}

net::ClockEstimateResult Failed(net::ClockEstimateOutcome outcome) {
  net::ClockEstimateResult result;
  result.outcome = outcome;
  return result;
}

class SaleScheduleTest : public ::testing::Test {
 protected:
  std::shared_ptr<SharedServiceClock> Clock() {
    return std::make_shared<SharedServiceClock>(
        estimator.Estimator(), [this](const ServiceClockNote& note) { reports.push_back(ServiceClockNoteText(note)); },
        clocks.Clocks());
  }
  // The steady moment at which the service's clock (ahead of the system
  // clock by `ahead`) reads `serviceMoment`.
  SteadyTime SteadyWhenServiceReads(SystemTime serviceMoment, nanoseconds ahead) const {
    return SteadyTime(
        duration_cast<SteadyTime::duration>(serviceMoment.time_since_epoch() - clocks.systemMinusSteady - ahead));
  }

  FakeClocks clocks;
  ScriptedEstimator estimator{clocks, {}, {}};
  std::vector<std::string> reports;
};

TEST_F(SaleScheduleTest, TheFirstQueryIsSentToArriveJustAfterTheOpening) {
  estimator.results = {Estimated(clocks, 1234ms, 4ms, 30ms)};
  const SystemTime opening = clocks.System() + 10s;
  auto schedule = MakeSaleSchedule(Clock(), opening);
  ASSERT_TRUE(schedule->WaitForFirstQuery({}));
  // Half the round trip ahead of the opening, late by the uncertainty and 1 ms.
  EXPECT_EQ(clocks.steady, SteadyWhenServiceReads(opening, 1234ms) + 4ms + 1ms - 15ms);
  EXPECT_EQ(estimator.calls.size(), 1u) << "an opening within 30 s needs no second estimate";
  EXPECT_EQ(reports, (std::vector<std::string>{"service clock: +1234 ms +/- 4 ms (16 probes)"}));
}

TEST_F(SaleScheduleTest, ADistantOpeningIsEstimatedAgainThirtySecondsBeforeIt) {
  // The service's clock drifts by 200 ms while the wish waits an hour.
  estimator.results = {Estimated(clocks, 1000ms, 5ms, 20ms), Estimated(clocks, 1200ms, 3ms, 20ms)};
  const SystemTime opening = clocks.System() + 1h;
  auto schedule = MakeSaleSchedule(Clock(), opening);
  ASSERT_TRUE(schedule->WaitForFirstQuery({}));
  ASSERT_EQ(estimator.calls.size(), 2u);
  EXPECT_EQ(estimator.calls[1], SteadyWhenServiceReads(opening, 1000ms) - 30s);
  EXPECT_EQ(clocks.steady, SteadyWhenServiceReads(opening, 1200ms) + 3ms + 1ms - 10ms);
  EXPECT_EQ(reports.size(), 2u);
}

TEST_F(SaleScheduleTest, WithoutTheServiceClockTheMachineClockStandsIn) {
  for (const auto outcome : {net::ClockEstimateOutcome::kNoDate, net::ClockEstimateOutcome::kInconsistent}) {
    estimator.results = {Failed(outcome)};
    estimator.calls.clear();
    reports.clear();
    const SystemTime opening = clocks.System() + 20s;
    auto schedule = MakeSaleSchedule(Clock(), opening);
    ASSERT_TRUE(schedule->WaitForFirstQuery({}));
    EXPECT_EQ(clocks.steady, SteadyWhenServiceReads(opening, 0ms) + 1ms);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("service clock: cannot be read"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("this machine's clock is used as China Standard Time"), std::string::npos);
  }
}

// A service clock more than a day away from this machine's is not believed,
// whoever estimated it: a line says so and the machine's clock stands in.
TEST_F(SaleScheduleTest, AServiceClockADayAwayIsNotBelieved) {
  const struct {
    const char* name;
    net::ClockEstimateResult result;
  } cases[] = {
      {"estimated 25 hours ahead", Estimated(clocks, 25h, 4ms, 30ms)},
      {"estimated years behind", Estimated(clocks, -3 * 8766h, 4ms, 30ms)},
      {"refused by the estimate", Failed(net::ClockEstimateOutcome::kFarOff)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    estimator.results = {c.result};
    reports.clear();
    const SystemTime opening = clocks.System() + 20s;
    auto schedule = MakeSaleSchedule(Clock(), opening);
    ASSERT_TRUE(schedule->WaitForFirstQuery({}));
    EXPECT_EQ(clocks.steady, SteadyWhenServiceReads(opening, 0ms) + 1ms);
    EXPECT_EQ(reports, (std::vector<std::string>{
                           "service clock: cannot be read (the service's clock is more than 24 hours away from this "
                           "machine's); this machine's clock is used as China Standard Time"}));
  }
}

TEST_F(SaleScheduleTest, QuickPassesFollowWhileTheClassesShowNotOnSaleForThreeSeconds) {
  estimator.results = {Estimated(clocks, -700ms, 2ms, 10ms)};
  const SystemTime opening = clocks.System() + 5s;
  auto schedule = MakeSaleSchedule(Clock(), opening);
  EXPECT_EQ(schedule->PauseAfterIdlePass(true), std::nullopt) << "before the wait the opening is not known";
  ASSERT_TRUE(schedule->WaitForFirstQuery({}));
  const SteadyTime openingSteady = SteadyWhenServiceReads(opening, -700ms);
  struct Case {
    nanoseconds sinceOpening;
    bool sawNotOnSale;
    std::optional<std::chrono::milliseconds> pause;
  };
  const Case cases[] = {
      {20ms, true, 50ms},           {20ms, false, std::nullopt}, {2999ms, true, 50ms},
      {3000ms, true, std::nullopt}, {60s, true, std::nullopt},
  };
  for (const Case& c : cases) {
    clocks.steady = openingSteady + c.sinceOpening;
    EXPECT_EQ(schedule->PauseAfterIdlePass(c.sawNotOnSale), c.pause)
        << c.sinceOpening.count() << " ns after, saw not on sale: " << c.sawNotOnSale;
  }
}

TEST_F(SaleScheduleTest, AnOpeningAlreadyPastStartsAtOnceWithoutAnEstimate) {
  estimator.results = {Estimated(clocks, 0ms, 1ms, 1ms)};
  const SteadyTime start = clocks.steady;
  auto schedule = MakeSaleSchedule(Clock(), clocks.System() - 1s);
  ASSERT_TRUE(schedule->WaitForFirstQuery({}));
  EXPECT_EQ(clocks.steady, start);
  EXPECT_TRUE(estimator.calls.empty());
  // The seconds after the opening are still quick, by this machine's clock.
  EXPECT_EQ(schedule->PauseAfterIdlePass(true), 50ms);
  clocks.steady += 2s;
  EXPECT_EQ(schedule->PauseAfterIdlePass(true), std::nullopt);
}

TEST_F(SaleScheduleTest, AStopEndsTheWait) {
  estimator.results = {Estimated(clocks, 0ms, 1ms, 1ms)};
  std::stop_source stop;
  stop.request_stop();
  auto schedule = MakeSaleSchedule(Clock(), clocks.System() + 10s);
  EXPECT_FALSE(schedule->WaitForFirstQuery(stop.get_token()));
}

TEST_F(SaleScheduleTest, OnlyWishesWithAStartMomentGetASchedule) {
  const WishScheduleFactory factory = MakeSaleScheduleFactory(Clock());
  OrderWish wish;
  EXPECT_EQ(factory(wish), nullptr);
  wish.startAt = clocks.System() + 1min;
  EXPECT_NE(factory(wish), nullptr);
}

// On the machine's clocks: wishes that start together share one estimate,
// and a stopped estimate leaves the next caller to take its own.
TEST(SharedServiceClockTest, WishesStartingTogetherShareOneEstimate) {
  std::atomic<int> calls{0};
  std::atomic<bool> release{false};
  // A service clock 42 s ahead of this machine's.
  const nanoseconds serviceMinusSteady = duration_cast<nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch() - std::chrono::steady_clock::now().time_since_epoch() + 42s);
  const auto estimator = [&](const std::stop_token& stop) {
    ++calls;
    while (!release.load() && !stop.stop_requested()) std::this_thread::sleep_for(1ms);
    net::ClockEstimateResult result;
    result.outcome =
        stop.stop_requested() ? net::ClockEstimateOutcome::kStopped : net::ClockEstimateOutcome::kEstimated;
    result.estimate.serviceMinusSteady = serviceMinusSteady;
    return result;
  };
  SharedServiceClock clock(estimator, nullptr);

  // A first caller is stopped while it estimates: nothing is kept.
  std::stop_source stopFirst;
  std::thread first([&] { EXPECT_EQ(clock.Reading(stopFirst.get_token()), std::nullopt); });
  while (calls.load() == 0) std::this_thread::sleep_for(1ms);
  stopFirst.request_stop();
  first.join();

  std::vector<std::thread> wishes;
  std::atomic<int> read{0};
  for (int i = 0; i < 4; ++i) {
    wishes.emplace_back([&] {
      const auto reading = clock.Reading({});
      if (reading && reading->fromService && reading->estimate.serviceMinusSteady == serviceMinusSteady) ++read;
    });
  }
  while (calls.load() < 2) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(20ms);
  release = true;
  for (std::thread& wish : wishes) wish.join();
  EXPECT_EQ(read.load(), 4);
  EXPECT_EQ(calls.load(), 2) << "one stopped estimate, then one for all four";
  EXPECT_EQ(clock.ReadingSince(std::chrono::steady_clock::now() - 1h, {})->estimate.serviceMinusSteady,
            serviceMinusSteady);
  EXPECT_EQ(calls.load(), 2) << "a recent estimate is reused";
}

}  // namespace
}  // namespace quillet
