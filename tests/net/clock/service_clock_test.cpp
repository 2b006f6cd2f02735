// The clock estimate on a simulated service: simulated steady time, round
// trips and a service clock whose offset the test knows.
#include "net/service_clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace quillet::net {
namespace {

using namespace std::chrono_literals;
using std::chrono::nanoseconds;

constexpr std::int64_t kSecondNs = 1'000'000'000;
// A present-day Unix time, in ns.
constexpr std::int64_t kServiceStartNs = 1'796'907'849LL * kSecondNs;

using Delay = std::function<nanoseconds(std::mt19937_64&)>;

Delay Fixed(nanoseconds d) {
  return [d](std::mt19937_64&) { return d; };
}

Delay Uniform(std::chrono::microseconds lo, std::chrono::microseconds hi) {
  return [lo, hi](std::mt19937_64& rng) {
    return nanoseconds(std::uniform_int_distribution<std::int64_t>(lo.count(), hi.count())(rng) * 1000);
  };
}

// A service reached over a simulated network. Steady time only moves when a
// probe travels or the estimate waits.
class SimulatedService {
 public:
  // The service's clock starts at `startFraction` of a second past kServiceStartNs.
  SimulatedService(double startFraction, Delay towards, Delay back)
      : towards_(std::move(towards)), back_(std::move(back)) {
    offsets_.push_back(kServiceStartNs + static_cast<std::int64_t>(startFraction * kSecondNs) - nowNs_);
    machineMinusSteady_ = offsets_.front();
  }

  // Answers come from the servers in turn, each with its clock this far off the first's.
  void AddServer(nanoseconds skew) { offsets_.push_back(offsets_.front() + skew.count()); }
  // After `afterProbes` probes, every server's clock jumps.
  void JumpAfter(int afterProbes, nanoseconds jump) {
    jumpAfter_ = afterProbes;
    jump_ = jump.count();
  }
  // Every server's clock runs this far ahead of where it started.
  void ShiftBy(nanoseconds shift) {
    for (std::int64_t& offset : offsets_) offset += shift.count();
  }
  void FailEveryProbe() { failing_ = true; }
  void StopWaiting() { stopWaiting_ = true; }

  // With `machineClock`, this machine's clock reads what the service's read
  // at the start, moving on with the steady clock.
  ClockProbing Probing(bool machineClock = false) {
    ClockProbing probing;
    if (machineClock) {
      probing.systemNow = [this] {
        return SystemTime(duration_cast<SystemTime::duration>(nanoseconds(nowNs_ + machineMinusSteady_)));
      };
    }
    probing.probe = [this]() -> std::optional<ClockSample> {
      if (failing_) {
        nowNs_ += 1'000'000;
        return std::nullopt;
      }
      if (probes_ == jumpAfter_) {
        for (std::int64_t& offset : offsets_) offset += jump_;
      }
      ClockSample sample;
      sample.sent = At(nowNs_);
      nowNs_ += towards_(rng_).count();
      const std::int64_t serviceNs = nowNs_ + offsets_[static_cast<std::size_t>(probes_) % offsets_.size()];
      sample.dateSeconds = serviceNs / kSecondNs;
      nowNs_ += back_(rng_).count();
      sample.received = At(nowNs_);
      ++probes_;
      return sample;
    };
    probing.now = [this] { return At(nowNs_); };
    probing.waitUntil = [this](SteadyTime moment) {
      if (stopWaiting_) return false;
      nowNs_ = std::max(nowNs_, moment.time_since_epoch().count());
      return true;
    };
    return probing;
  }

  // The first server's clock minus the steady clock, as it is now.
  nanoseconds TrueOffset() const { return nanoseconds(offsets_.front()); }
  SteadyTime Now() const { return At(nowNs_); }
  std::int64_t ServiceNsAt(SteadyTime t) const { return t.time_since_epoch().count() + offsets_.front(); }
  int Probes() const { return probes_; }

 private:
  static SteadyTime At(std::int64_t ns) { return SteadyTime(nanoseconds(ns)); }

  std::int64_t nowNs_ = 5000 * kSecondNs;  // the steady clock's epoch is arbitrary
  std::vector<std::int64_t> offsets_;
  std::int64_t machineMinusSteady_ = 0;
  Delay towards_;
  Delay back_;
  std::mt19937_64 rng_{12306};
  int probes_ = 0;
  int jumpAfter_ = -1;
  std::int64_t jump_ = 0;
  bool failing_ = false;
  bool stopWaiting_ = false;
};

struct NetworkCase {
  const char* name;
  double startFraction;  // where in its second the service's clock starts
  Delay towards;
  Delay back;
  std::chrono::milliseconds worstUncertainty;
};

void PrintTo(const NetworkCase& c, std::ostream* os) { *os << c.name; }

class ClockEstimateNetworkTest : public ::testing::TestWithParam<NetworkCase> {};

// Whatever the network, the true offset lies within the reported bounds; how
// narrow they get depends on the round trips.
TEST_P(ClockEstimateNetworkTest, TrueOffsetLiesWithinTheReportedBounds) {
  const NetworkCase& c = GetParam();
  SimulatedService service(c.startFraction, c.towards, c.back);
  const SteadyTime start = service.Now();
  const ClockEstimateResult result = EstimateServiceClock(service.Probing());
  ASSERT_EQ(result.outcome, ClockEstimateOutcome::kEstimated);
  const ServiceClockEstimate& e = result.estimate;
  const nanoseconds error = e.serviceMinusSteady - service.TrueOffset();
  EXPECT_LE(std::chrono::abs(error), e.uncertainty) << OffsetText(error, e.uncertainty);
  EXPECT_LE(e.uncertainty, c.worstUncertainty);
  EXPECT_EQ(e.tight, e.uncertainty <= 5ms);
  EXPECT_EQ(e.probes, service.Probes());
  EXPECT_LE(e.probes, ClockEstimateSettings{}.maxProbes);
  EXPECT_LE(service.Now() - start, 21s) << "the estimate keeps to its time budget";

  // A request sent at the planned moment reaches the service just after
  // the opening, however the estimate erred within its bounds.
  const std::int64_t openingNs = (service.ServiceNsAt(service.Now()) / kSecondNs + 3) * kSecondNs;
  const nanoseconds oneWay = e.shortestRoundTrip / 2;
  const SteadyTime send = SendMomentFor(e, SystemTime(nanoseconds(openingNs)), oneWay);
  const std::int64_t arrivalNs = service.ServiceNsAt(send + oneWay);
  EXPECT_GE(arrivalNs, openingNs);
  EXPECT_LE(arrivalNs - openingNs, (2 * e.uncertainty).count());
}

INSTANTIATE_TEST_SUITE_P(
    Networks, ClockEstimateNetworkTest,
    ::testing::Values(NetworkCase{"Loopback", 0.25, Fixed(100us), Fixed(100us), 5ms},
                      NetworkCase{"LoopbackJustBeforeASecond", 0.9999, Fixed(150us), Fixed(50us), 5ms},
                      NetworkCase{"FirstProbeStraddlesASecond", 0.995, Fixed(10ms), Fixed(10ms), 25ms},
                      NetworkCase{"SlowSymmetric", 0.5, Fixed(40ms), Fixed(40ms), 90ms},
                      NetworkCase{"JitteryAndLopsided", 0.7, Uniform(5000us, 60000us), Uniform(2000us, 10000us), 80ms},
                      NetworkCase{"LoopbackWithJitter", 0.1, Uniform(50us, 2000us), Uniform(50us, 500us), 5ms}),
    [](const auto& network) { return std::string(network.param.name); });

TEST(ClockEstimate, HalfTheRoundTripCorrectsASymmetricPath) {
  // Bounds alone are ± about a round trip here; the middle of them is much closer.
  SimulatedService service(0.4, Fixed(15ms), Fixed(15ms));
  const ClockEstimateResult result = EstimateServiceClock(service.Probing());
  ASSERT_EQ(result.outcome, ClockEstimateOutcome::kEstimated);
  EXPECT_GT(result.estimate.uncertainty, 10ms);
  EXPECT_LE(std::chrono::abs(result.estimate.serviceMinusSteady - service.TrueOffset()), 8ms);
}

TEST(ClockEstimate, AClockThatJumpsIsFollowed) {
  SimulatedService service(0.3, Fixed(100us), Fixed(100us));
  service.JumpAfter(3, 2300ms);
  const ClockEstimateResult result = EstimateServiceClock(service.Probing());
  ASSERT_EQ(result.outcome, ClockEstimateOutcome::kEstimated);
  EXPECT_LE(std::chrono::abs(result.estimate.serviceMinusSteady - service.TrueOffset()), result.estimate.uncertainty);
  EXPECT_TRUE(result.estimate.tight);
}

TEST(ClockEstimate, ServersThatDisagreeAreReportedAsInconsistent) {
  SimulatedService service(0.3, Fixed(100us), Fixed(100us));
  service.AddServer(400ms);
  EXPECT_EQ(EstimateServiceClock(service.Probing()).outcome, ClockEstimateOutcome::kInconsistent);
}

TEST(ClockEstimate, NoDateMeansNoEstimateAndAStopIsHonoured) {
  SimulatedService silent(0.3, Fixed(100us), Fixed(100us));
  silent.FailEveryProbe();
  EXPECT_EQ(EstimateServiceClock(silent.Probing()).outcome, ClockEstimateOutcome::kNoDate);

  SimulatedService stopped(0.3, Fixed(100us), Fixed(100us));
  stopped.StopWaiting();
  EXPECT_EQ(EstimateServiceClock(stopped.Probing()).outcome, ClockEstimateOutcome::kStopped);
  EXPECT_EQ(stopped.Probes(), 1) << "only the first probe goes out without a wait";
}

// A Date a day or years away from this machine's clock is not believed: the
// estimate ends at once.
TEST(ClockEstimate, ADateFarFromThisMachinesClockIsNotBelieved) {
  const struct {
    const char* name;
    nanoseconds shift;
    bool machineClock;
    ClockEstimateOutcome outcome;
  } cases[] = {
      {"23 hours ahead", 23h, true, ClockEstimateOutcome::kEstimated},
      {"25 hours ahead", 25h, true, ClockEstimateOutcome::kFarOff},
      {"25 hours behind", -25h, true, ClockEstimateOutcome::kFarOff},
      {"five years ahead, no machine clock", 5 * 8766h, false, ClockEstimateOutcome::kEstimated},
      // Far past 2099 (as far as a shift in nanoseconds reaches from today).
      {"two centuries ahead", 200 * 8766h, false, ClockEstimateOutcome::kFarOff},
      {"before 2000", -30 * 8766h, false, ClockEstimateOutcome::kFarOff},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedService service(0.3, Fixed(100us), Fixed(100us));
    service.ShiftBy(c.shift);
    const ClockEstimateResult result = EstimateServiceClock(service.Probing(c.machineClock));
    EXPECT_EQ(result.outcome, c.outcome);
    if (c.outcome == ClockEstimateOutcome::kFarOff) {
      EXPECT_EQ(service.Probes(), 1);
    }
  }
}

TEST(ClockEstimate, SendMomentAndOffsetText) {
  ServiceClockEstimate e;
  e.serviceMinusSteady = 1000s;
  e.uncertainty = 3ms;
  const SystemTime opening{2000s};
  EXPECT_EQ(SendMomentFor(e, opening, 20ms, 1ms), SteadyTime(1000s + 3ms + 1ms - 20ms));
  EXPECT_EQ(e.SteadyTimeOf(e.ServiceTimeAt(SteadyTime(42s))), SteadyTime(42s));

  EXPECT_EQ(OffsetText(1234ms, 3ms), "+1234 ms +/- 3 ms");
  EXPECT_EQ(OffsetText(-700ms - 400us, 200us), "-700 ms +/- 1 ms");
  EXPECT_EQ(OffsetText(nanoseconds(0), 2500us), "+0 ms +/- 3 ms");
}

}  // namespace
}  // namespace quillet::net
