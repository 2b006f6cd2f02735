#pragma once
// The booking service's clock for a whole run: one estimate shared by every
// wish that waits for a sale opening, taken again when it has grown old.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "net/service_clock.h"
#include "net/service_settings.h"

namespace quillet {

using SteadyTime = net::SteadyTime;
using SystemTime = net::SystemTime;

// The clocks a schedule reads and waits on; tests give simulated ones.
struct ScheduleClocks {
  std::function<SteadyTime()> steadyNow;
  std::function<SystemTime()> systemNow;
  // Returns at once for a moment already past; false when stopped first.
  std::function<bool(SteadyTime, const std::stop_token&)> waitUntil;
};
// This machine's steady and system clocks.
ScheduleClocks MachineScheduleClocks();

// Takes one estimate of the service's clock.
using ClockEstimator = std::function<net::ClockEstimateResult(const std::stop_token&)>;
// Probes the service over HTTP (Date headers of HEAD answers).
ClockEstimator HttpClockEstimator(ServiceSettings service);

// What an estimate of the service's clock came to, for the person running
// the grab; the front end words it.
struct ServiceClockNote {
  bool read = false;                       // false: this machine's clock stands in
  std::chrono::nanoseconds offset{};       // the service's clock minus this machine's
  std::chrono::nanoseconds uncertainty{};  // give or take
  int probes = 0;
  // Why it was not read; when neither, no answer carried a readable Date header.
  bool answersDisagree = false;
  bool farOff = false;  // more than a day away from this machine's clock
};
// In English: "service clock: +1234 ms +/- 5 ms (16 probes)", or why it
// could not be read.
std::string ServiceClockNoteText(const ServiceClockNote& note);
// Called on a worker's thread.
using ClockReport = std::function<void(const ServiceClockNote&)>;

struct ServiceClockReading {
  net::ServiceClockEstimate estimate;
  // False when the service's clock could not be read and this machine's
  // clock, taken as China Standard Time, stands in for it.
  bool fromService = false;
  SteadyTime takenAt;  // when the estimate was done
};

class SharedServiceClock {
 public:
  SharedServiceClock(ClockEstimator estimator, ClockReport report, ScheduleClocks clocks = MachineScheduleClocks());
  SharedServiceClock(const SharedServiceClock&) = delete;
  SharedServiceClock& operator=(const SharedServiceClock&) = delete;

  // The estimate, taking a new one unless the one held was done at or after
  // `notBefore`. One estimate runs at a time: callers that come while it
  // runs wait for its result. Nothing when `stop` ends the wait first.
  std::optional<ServiceClockReading> ReadingSince(SteadyTime notBefore, const std::stop_token& stop);
  // Any estimate taken so far, or a first one.
  std::optional<ServiceClockReading> Reading(const std::stop_token& stop) {
    return ReadingSince(SteadyTime::min(), stop);
  }

  const ScheduleClocks& Clocks() const { return clocks_; }

 private:
  // Runs the estimator (without the lock) and turns its result into a reading.
  std::optional<ServiceClockReading> Estimate(const std::stop_token& stop);

  const ClockEstimator estimator_;
  const ClockReport report_;
  const ScheduleClocks clocks_;

  std::mutex mutex_;  // guards the two fields below
  std::optional<ServiceClockReading> held_;
  bool estimating_ = false;
  std::condition_variable_any estimateDone_;
};

}  // namespace quillet
