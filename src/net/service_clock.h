#pragma once
// The booking service's clock, estimated from the Date header of its answers.
//
// A Date header names whole seconds only, but the moment its value changes
// can be pinned down: every answer says that the service's clock read
// [D, D + 1) s at some moment between sending the request and receiving the
// answer. Each probe thus bounds the offset between the service's clock and
// the local steady clock from both sides; probes placed where the next
// second boundary is expected narrow the bounds until they are tight. The
// middle of the bounds is the estimate, which is what correcting by half the
// round trip gives. Waiting is done on the steady clock; the system clock
// only names moments.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillet::net {

using SteadyTime = std::chrono::steady_clock::time_point;
using SystemTime = std::chrono::system_clock::time_point;

// One light request and the Date of its answer.
struct ClockSample {
  SteadyTime sent;
  SteadyTime received;
  std::int64_t dateSeconds = 0;  // Unix seconds
};

// What the estimate needs from the world; the machine's own is in
// clock_probe.h, tests give a simulated one.
struct ClockProbing {
  // Sends one probe; nullopt when no answer or no readable Date came back.
  std::function<std::optional<ClockSample>()> probe;
  std::function<SteadyTime()> now;
  // Returns at once for a moment already past; false when asked to stop.
  std::function<bool(SteadyTime)> waitUntil;
  // This machine's clock, to which a Date is compared; may be empty, and
  // then only Dates outside the years 2000 to 2099 are refused.
  std::function<SystemTime()> systemNow;
};

// A service clock further than this from this machine's is not believed:
// its Date headers are broken, not the machine's clock.
inline constexpr std::chrono::hours kMaxBelievedClockOffset{24};

struct ClockEstimateSettings {
  // Done once the service's clock is known to within this either way.
  std::chrono::milliseconds targetUncertainty{5};
  // Probes around one second boundary at most.
  int probesPerBoundary = 4;
  // A tight estimate is confirmed at one more boundary with this many probes
  // on either side of it.
  int confirmingProbesPerSide = 2;
  int maxProbes = 40;
  std::chrono::milliseconds maxDuration{20000};
  // Failed probes (no answer, no Date) tolerated in all.
  int maxFailedProbes = 5;
};

struct ServiceClockEstimate {
  // The service's clock, as Unix time, is the steady clock plus this ...
  std::chrono::nanoseconds serviceMinusSteady{0};
  // ... within this either way.
  std::chrono::nanoseconds uncertainty{0};
  std::chrono::nanoseconds shortestRoundTrip{0};
  int probes = 0;
  bool tight = false;  // the target uncertainty was reached

  SystemTime ServiceTimeAt(SteadyTime moment) const;
  SteadyTime SteadyTimeOf(SystemTime serviceMoment) const;
  // How far the service's clock runs ahead of this machine's system clock
  // (negative: behind), reading both local clocks now.
  std::chrono::nanoseconds OffsetFromSystemClock() const;
};

enum class ClockEstimateOutcome {
  kEstimated,
  kNoDate,        // no probe brought back a readable Date
  kInconsistent,  // the answers contradict each other (the clock jumped, or servers disagree)
  kFarOff,        // a Date lies more than kMaxBelievedClockOffset from this machine's clock
  kStopped,
};

struct ClockEstimateResult {
  ClockEstimateOutcome outcome = ClockEstimateOutcome::kNoDate;
  ServiceClockEstimate estimate;  // meaningful for kEstimated
};

ClockEstimateResult EstimateServiceClock(const ClockProbing& probing, const ClockEstimateSettings& settings = {});

// The steady moment at which to send a request that takes oneWayDelay to
// reach the service so that it arrives just after `opening` (a moment on the
// service's clock): late by the estimate's uncertainty plus `lateBy`, so
// that it is not early whichever way the estimate errs.
SteadyTime SendMomentFor(const ServiceClockEstimate& estimate, SystemTime opening, std::chrono::nanoseconds oneWayDelay,
                         std::chrono::nanoseconds lateBy = std::chrono::nanoseconds::zero());

// "+1234 ms ± 3 ms": an offset and its uncertainty for people to read.
std::string OffsetText(std::chrono::nanoseconds offset, std::chrono::nanoseconds uncertainty);

}  // namespace quillet::net
