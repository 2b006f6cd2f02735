#include "grab/shared_service_clock.h"

#include "booking/service_paths.h"
#include "net/clock_probe.h"

namespace quillet {

std::string ServiceClockNoteText(const ServiceClockNote& note) {
  if (note.read) {
    return "service clock: " + net::OffsetText(note.offset, note.uncertainty) + " (" + std::to_string(note.probes) +
           " probes)";
  }
  std::string reason = "no answer of the service carried a readable Date header";
  if (note.answersDisagree) reason = "the service's answers disagree about the time";
  if (note.farOff) {
    reason = "the service's clock is more than " + std::to_string(net::kMaxBelievedClockOffset.count()) +
             " hours away from this machine's";
  }
  return "service clock: cannot be read (" + reason + "); this machine's clock is used as China Standard Time";
}

ScheduleClocks MachineScheduleClocks() {
  ScheduleClocks clocks;
  clocks.steadyNow = [] { return std::chrono::steady_clock::now(); };
  clocks.systemNow = [] { return std::chrono::system_clock::now(); };
  clocks.waitUntil = [](SteadyTime moment, const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_until(lock, stop, moment, [] { return false; });
    return !stop.stop_requested();
  };
  return clocks;
}

ClockEstimator HttpClockEstimator(ServiceSettings service) {
  return [service = std::move(service)](const std::stop_token& stop) {
    net::ClockProbeTarget target;
    target.baseUrl = service.address;
    target.path = service_paths::kApplicationRoot;
    target.extraCaFile = service.caFile;
    target.proxy = service.proxy;
    net::HttpClockProber prober(std::move(target), stop);
    return net::EstimateServiceClock(net::MachineClockProbing(prober, stop));
  };
}

SharedServiceClock::SharedServiceClock(ClockEstimator estimator, ClockReport report, ScheduleClocks clocks)
    : estimator_(std::move(estimator)), report_(std::move(report)), clocks_(std::move(clocks)) {}

std::optional<ServiceClockReading> SharedServiceClock::ReadingSince(SteadyTime notBefore, const std::stop_token& stop) {
  std::unique_lock lock(mutex_);
  while (true) {
    if (held_ && held_->takenAt >= notBefore) return held_;
    if (!estimating_) break;
    // Another caller's estimate is running; a stopped one leaves nothing
    // behind, and then this caller takes its own.
    estimateDone_.wait(lock, stop, [&] { return !estimating_; });
    if (stop.stop_requested()) return std::nullopt;
  }
  estimating_ = true;
  lock.unlock();
  std::optional<ServiceClockReading> reading = Estimate(stop);
  lock.lock();
  estimating_ = false;
  if (reading) held_ = reading;
  estimateDone_.notify_all();
  return reading;
}

std::optional<ServiceClockReading> SharedServiceClock::Estimate(const std::stop_token& stop) {
  net::ClockEstimateResult result = estimator_(stop);
  if (result.outcome == net::ClockEstimateOutcome::kStopped || stop.stop_requested()) return std::nullopt;
  ServiceClockReading reading;
  reading.takenAt = clocks_.steadyNow();
  const auto offset = result.estimate.ServiceTimeAt(reading.takenAt) - clocks_.systemNow();
  // However it was taken, an estimate that far from this machine's clock is not believed.
  if (result.outcome == net::ClockEstimateOutcome::kEstimated &&
      (offset > net::kMaxBelievedClockOffset || offset < -net::kMaxBelievedClockOffset)) {
    result.outcome = net::ClockEstimateOutcome::kFarOff;
  }
  if (result.outcome == net::ClockEstimateOutcome::kEstimated) {
    reading.estimate = result.estimate;
    reading.fromService = true;
    if (report_) {
      ServiceClockNote note;
      note.read = true;
      note.offset = std::chrono::duration_cast<std::chrono::nanoseconds>(offset);
      note.uncertainty = reading.estimate.uncertainty;
      note.probes = reading.estimate.probes;
      report_(note);
    }
    return reading;
  }
  // The machine's clock stands in: the service's time is the system clock.
  using std::chrono::duration_cast;
  using std::chrono::nanoseconds;
  reading.estimate.serviceMinusSteady = duration_cast<nanoseconds>(clocks_.systemNow().time_since_epoch()) -
                                        duration_cast<nanoseconds>(reading.takenAt.time_since_epoch());
  if (report_) {
    ServiceClockNote note;
    note.answersDisagree = result.outcome == net::ClockEstimateOutcome::kInconsistent;
    note.farOff = result.outcome == net::ClockEstimateOutcome::kFarOff;
    report_(note);
  }
  return reading;
}

}  // namespace quillet
