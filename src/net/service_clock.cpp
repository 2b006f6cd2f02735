#include "net/service_clock.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace quillet::net {
namespace {

using std::chrono::duration_cast;
using std::chrono::nanoseconds;

constexpr std::int64_t kSecondNs = 1'000'000'000;
constexpr std::int64_t kMillisecondNs = 1'000'000;
// Answers that contradict the bounds so far make the estimate start over
// from the newest one; this many times, then the service is inconsistent.
constexpr int kMaxRestarts = 2;
// Rounds in a row that narrow the bounds by less than a tenth end the
// estimate: the round trips limit it.
constexpr int kMaxStalledRounds = 2;
// Time allowed between planning a probe and sending it.
constexpr std::int64_t kPlanningSlackNs = kMillisecondNs;
constexpr auto kPauseAfterFailure = std::chrono::milliseconds(200);
// Dates outside the years 2000 to 2099 are refused even without this
// machine's clock to compare with; their nanoseconds would not fit.
constexpr std::int64_t kFirstBelievedSecond = 946'684'800;   // 2000-01-01 UTC
constexpr std::int64_t kLastBelievedSecond = 4'102'444'799;  // 2099-12-31 23:59:59 UTC

std::int64_t Ns(SteadyTime t) { return duration_cast<nanoseconds>(t.time_since_epoch()).count(); }

SteadyTime AtNs(std::int64_t ns) { return SteadyTime(duration_cast<SteadyTime::duration>(nanoseconds(ns))); }

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return a / b + ((a % b != 0) && ((a < 0) == (b < 0))); }

// Where the service's clock minus the steady clock lies, in ns.
struct Bounds {
  std::int64_t lo = 0;
  std::int64_t hi = 0;
  std::int64_t Width() const { return hi - lo; }
};

// The service read [D, D + 1) s at some moment in [sent, received].
Bounds FromSample(const ClockSample& sample) {
  return {sample.dateSeconds * kSecondNs - Ns(sample.received), (sample.dateSeconds + 1) * kSecondNs - Ns(sample.sent)};
}

class Estimator {
 public:
  Estimator(const ClockProbing& probing, const ClockEstimateSettings& settings)
      : probing_(probing), settings_(settings), deadline_(probing.now() + settings.maxDuration) {}

  ClockEstimateResult Run() {
    while (!bounds_) {
      if (farOff_) return Ended(ClockEstimateOutcome::kFarOff);
      if (OutOfFailures() || probing_.now() >= deadline_) return Ended(ClockEstimateOutcome::kNoDate);
      if (failures_ > 0 && !probing_.waitUntil(probing_.now() + kPauseAfterFailure)) {
        return Ended(ClockEstimateOutcome::kStopped);
      }
      if (const auto sample = ProbeOnce()) Take(*sample);
    }
    const std::int64_t targetWidth = 2 * duration_cast<nanoseconds>(settings_.targetUncertainty).count();
    int stalledRounds = 0;
    while (true) {
      if (bounds_->Width() <= targetWidth) {
        // Tight; one more look at the next boundary makes sure that it is
        // not tight by a coincidence of answers from clocks that disagree.
        const int restartsBefore = restarts_;
        const RoundEnd end = ConfirmAtNextBoundary();
        if (end != RoundEnd::kDone) return Ended(end);
        if (restarts_ == restartsBefore) break;
        continue;
      }
      if (probes_ >= settings_.maxProbes || OutOfFailures() || probing_.now() >= deadline_) break;
      const std::int64_t widthBefore = bounds_->Width();
      const RoundEnd end = ProbeAroundNextBoundary();
      if (end != RoundEnd::kDone) return Ended(end);
      stalledRounds = bounds_->Width() > widthBefore / 10 * 9 ? stalledRounds + 1 : 0;
      if (stalledRounds >= kMaxStalledRounds) break;
    }
    return Ended(ClockEstimateOutcome::kEstimated);
  }

 private:
  enum class RoundEnd { kDone, kStopped, kInconsistent, kFarOff };

  ClockEstimateResult Ended(RoundEnd end) const {
    if (end == RoundEnd::kFarOff) return Ended(ClockEstimateOutcome::kFarOff);
    return Ended(end == RoundEnd::kStopped ? ClockEstimateOutcome::kStopped : ClockEstimateOutcome::kInconsistent);
  }

  bool OutOfFailures() const { return failures_ > settings_.maxFailedProbes; }

  // A Date that far off ends the estimate (farOff_): more probes would
  // only say the same.
  bool FarOff(const ClockSample& sample) const {
    if (sample.dateSeconds < kFirstBelievedSecond || sample.dateSeconds > kLastBelievedSecond) return true;
    if (!probing_.systemNow) return false;
    const std::int64_t machineSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(probing_.systemNow().time_since_epoch()).count();
    const std::int64_t apart =
        sample.dateSeconds > machineSeconds ? sample.dateSeconds - machineSeconds : machineSeconds - sample.dateSeconds;
    return apart > std::chrono::duration_cast<std::chrono::seconds>(kMaxBelievedClockOffset).count();
  }

  std::optional<ClockSample> ProbeOnce() {
    auto sample = probing_.probe();
    if (!sample || sample->received < sample->sent) {
      ++failures_;
      return std::nullopt;
    }
    if (FarOff(*sample)) {
      farOff_ = true;
      return std::nullopt;
    }
    ++probes_;
    shortestRoundTrip_ = std::min(shortestRoundTrip_, Ns(sample->received) - Ns(sample->sent));
    return sample;
  }

  // Narrows the bounds by one answer; false when the answers cannot be reconciled.
  bool Take(const ClockSample& sample) {
    const Bounds fresh = FromSample(sample);
    if (!bounds_) {
      bounds_ = fresh;
      return true;
    }
    const Bounds joined{std::max(bounds_->lo, fresh.lo), std::min(bounds_->hi, fresh.hi)};
    if (joined.lo <= joined.hi) {
      bounds_ = joined;
      return true;
    }
    // The service's clock jumped, or its answers come from servers whose
    // clocks disagree: start over from the newest answer.
    bounds_ = fresh;
    return ++restarts_ <= kMaxRestarts;
  }

  // The next whole second of the service's clock falls, in steady time, in
  // [n s - hi, n s - lo]. Probes spread evenly over that window (each sent
  // half a round trip before the moment it should reach the service) find
  // which part of it holds the boundary.
  RoundEnd ProbeAroundNextBoundary() {
    const Bounds planned = *bounds_;
    const std::int64_t roundTrip = shortestRoundTrip_;
    const std::int64_t halfTrip = roundTrip / 2;
    // Probes closer together than a round trip tell nothing new.
    const std::int64_t closest = std::max(roundTrip, kMillisecondNs);
    const int count = static_cast<int>(
        std::clamp<std::int64_t>(planned.Width() / closest - 1, 1, std::max(settings_.probesPerBoundary, 1)));
    const std::int64_t step = planned.Width() / (count + 1);
    const std::int64_t earliest = Ns(probing_.now()) + halfTrip + kPlanningSlackNs;
    const std::int64_t second = CeilDiv(earliest - step + planned.hi, kSecondNs);
    for (int i = 1; i <= count; ++i) {
      if (probes_ >= settings_.maxProbes || OutOfFailures()) break;
      const std::int64_t arrival = second * kSecondNs - planned.hi + step * i;
      if (!probing_.waitUntil(AtNs(arrival - halfTrip))) return RoundEnd::kStopped;
      const auto sample = ProbeOnce();
      if (farOff_) return RoundEnd::kFarOff;
      if (!sample) continue;
      if (!Take(*sample)) return RoundEnd::kInconsistent;
      // Past the boundary, later probes of this window would only say so again.
      if (sample->dateSeconds >= second) break;
    }
    return RoundEnd::kDone;
  }

  // Probes that reach the service just before the window of the next
  // boundary and just after it: the first must still read the old second,
  // the others the new one. A contradiction restarts the bounds. Several on
  // each side, as a service behind a balancer may pass each to another server.
  RoundEnd ConfirmAtNextBoundary() {
    const Bounds planned = *bounds_;
    const int perSide = std::max(settings_.confirmingProbesPerSide, 1);
    const std::int64_t halfTrip = shortestRoundTrip_ / 2;
    // The probes of one side go out one after the other, a round trip apart.
    const std::int64_t guard = perSide * shortestRoundTrip_ + kMillisecondNs;
    const std::int64_t earliest = Ns(probing_.now()) + halfTrip + kPlanningSlackNs;
    const std::int64_t second = CeilDiv(earliest + guard + planned.hi, kSecondNs);
    const std::int64_t before = second * kSecondNs - planned.hi - guard;
    const std::int64_t after = second * kSecondNs - planned.lo + kMillisecondNs;
    for (const std::int64_t arrival : {before, after}) {
      for (int i = 0; i < perSide; ++i) {
        if (!probing_.waitUntil(AtNs(arrival - halfTrip))) return RoundEnd::kStopped;
        const auto sample = ProbeOnce();
        if (farOff_) return RoundEnd::kFarOff;
        if (sample && !Take(*sample)) return RoundEnd::kInconsistent;
      }
    }
    return RoundEnd::kDone;
  }

  ClockEstimateResult Ended(ClockEstimateOutcome outcome) const {
    ClockEstimateResult result;
    result.outcome = outcome;
    if (outcome != ClockEstimateOutcome::kEstimated || !bounds_) return result;
    ServiceClockEstimate& e = result.estimate;
    const std::int64_t half = (bounds_->Width() + 1) / 2;
    e.serviceMinusSteady = nanoseconds(bounds_->lo + bounds_->Width() / 2);
    e.uncertainty = nanoseconds(half);
    e.shortestRoundTrip = nanoseconds(shortestRoundTrip_);
    e.probes = probes_;
    e.tight = e.uncertainty <= settings_.targetUncertainty;
    return result;
  }

  const ClockProbing& probing_;
  const ClockEstimateSettings& settings_;
  const SteadyTime deadline_;
  std::optional<Bounds> bounds_;
  std::int64_t shortestRoundTrip_ = std::numeric_limits<std::int64_t>::max();
  int probes_ = 0;
  int failures_ = 0;
  int restarts_ = 0;
  bool farOff_ = false;
};

}  // namespace

SystemTime ServiceClockEstimate::ServiceTimeAt(SteadyTime moment) const {
  return SystemTime(duration_cast<SystemTime::duration>(moment.time_since_epoch() + serviceMinusSteady));
}

SteadyTime ServiceClockEstimate::SteadyTimeOf(SystemTime serviceMoment) const {
  return SteadyTime(duration_cast<SteadyTime::duration>(serviceMoment.time_since_epoch() - serviceMinusSteady));
}

nanoseconds ServiceClockEstimate::OffsetFromSystemClock() const {
  const SteadyTime steady = std::chrono::steady_clock::now();
  const SystemTime system = std::chrono::system_clock::now();
  return duration_cast<nanoseconds>(ServiceTimeAt(steady) - system);
}

ClockEstimateResult EstimateServiceClock(const ClockProbing& probing, const ClockEstimateSettings& settings) {
  return Estimator(probing, settings).Run();
}

SteadyTime SendMomentFor(const ServiceClockEstimate& estimate, SystemTime opening, nanoseconds oneWayDelay,
                         nanoseconds lateBy) {
  const SteadyTime arrival =
      estimate.SteadyTimeOf(opening) + duration_cast<SteadyTime::duration>(estimate.uncertainty + lateBy);
  return arrival - duration_cast<SteadyTime::duration>(oneWayDelay);
}

std::string OffsetText(nanoseconds offset, nanoseconds uncertainty) {
  const long long offsetMs = (offset.count() + (offset.count() >= 0 ? 1 : -1) * kMillisecondNs / 2) / kMillisecondNs;
  const long long boundMs = CeilDiv(std::max<std::int64_t>(uncertainty.count(), 0), kMillisecondNs);
  char text[64];
  std::snprintf(text, sizeof text, "%+lld ms +/- %lld ms", offsetMs, boundMs);
  return text;
}

}  // namespace quillet::net
