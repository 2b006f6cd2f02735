#include "grab/query_pacer.h"

namespace quillet {
namespace {

// How far the service's clock may be from this machine's before the hours
// are judged by the service's.
constexpr auto kClockMargin = std::chrono::minutes(10);

}  // namespace

QueryPacer::QueryPacer(PacerSettings settings, std::shared_ptr<SharedServiceClock> clock, PacerReport report)
    : settings_(std::move(settings)),
      clock_(std::move(clock)),
      report_(std::move(report)),
      clocks_(clock_ ? clock_->Clocks() : MachineScheduleClocks()),
      budget_(settings_.maxQueriesPerSecond),
      backoff_(settings_.throttle),
      random_(std::random_device{}()),
      lastActivity_(clocks_.steadyNow()) {}

std::optional<SteadyTime> QueryPacer::BeforeQuery(const std::stop_token& stop) {
  if (!WaitWhileClosed(stop) || !WaitWhileBackingOff(stop)) return std::nullopt;
  const SteadyTime slot = budget_.Reserve(clocks_.steadyNow());
  if (!clocks_.waitUntil(slot, stop)) return std::nullopt;
  SteadyTime now = clocks_.steadyNow();
  while (const std::optional<SteadyTime> later = budget_.Admit(now)) {
    if (!clocks_.waitUntil(*later, stop)) return std::nullopt;
    now = clocks_.steadyNow();
  }
  NoteActivity(now);
  return now;
}

void QueryPacer::ShareBudget(std::size_t ways) {
  if (settings_.maxQueriesPerSecond <= 0) return;
  budget_.SetRate(settings_.maxQueriesPerSecond / static_cast<double>(ways == 0 ? 1 : ways));
}

bool QueryPacer::WaitWhileClosed(const std::stop_token& stop) {
  if (!clock_) return !stop.stop_requested();
  {
    // Well within the hours by this machine's clock: no need to read the service's.
    std::lock_guard lock(mutex_);
    const SystemTime now = clocks_.systemNow();
    if (!closedByServiceUntil_ && settings_.hours && OpenAt(*settings_.hours, now - kClockMargin) &&
        OpenAt(*settings_.hours, now) && OpenAt(*settings_.hours, now + kClockMargin)) {
      return !stop.stop_requested();
    }
  }
  std::optional<SystemTime> waitedFor;
  for (;;) {
    std::optional<ServiceClockReading> reading = clock_->Reading(stop);
    if (!reading) return false;
    // Judged by when a query sent now would arrive.
    const SystemTime arrival =
        reading->estimate.ServiceTimeAt(clocks_.steadyNow()) +
        std::chrono::duration_cast<SystemTime::duration>(reading->estimate.shortestRoundTrip / 2);
    std::optional<SystemTime> opening;
    bool byService = false;
    bool tell = false;
    {
      std::lock_guard lock(mutex_);
      if (closedByServiceUntil_ && arrival >= *closedByServiceUntil_) closedByServiceUntil_.reset();
      if (closedByServiceUntil_) {
        opening = closedByServiceUntil_;
        byService = true;
      } else if (settings_.hours && !OpenAt(*settings_.hours, arrival)) {
        opening = NextOpening(*settings_.hours, arrival);
      }
      if (!opening || opening == waitedFor) return true;
      tell = toldOpening_ != opening;
      if (tell) toldOpening_ = opening;
    }
    const SystemTime until = *opening;
    if (tell && report_.closed) report_.closed(until, byService);
    // A fresh estimate shortly before the opening when the one held is older.
    const SteadyTime refreshAt = reading->estimate.SteadyTimeOf(until) - settings_.refreshBefore;
    if (reading->takenAt < refreshAt - std::chrono::seconds(5)) {
      if (!clocks_.waitUntil(refreshAt, stop)) return false;
      reading = clock_->ReadingSince(refreshAt - std::chrono::seconds(5), stop);
      if (!reading) return false;
    }
    const net::ServiceClockEstimate& estimate = reading->estimate;
    if (!clocks_.waitUntil(net::SendMomentFor(estimate, until, estimate.shortestRoundTrip / 2, settings_.lateBy),
                           stop)) {
      return false;
    }
    waitedFor = until;
  }
}

bool QueryPacer::WaitWhileBackingOff(const std::stop_token& stop) {
  for (;;) {
    SteadyTime resumeAt;
    {
      std::lock_guard lock(mutex_);
      resumeAt = backoff_.ResumeAt();
    }
    const SteadyTime now = clocks_.steadyNow();
    TellLongEpisode(now);
    if (now >= resumeAt) return !stop.stop_requested();
    if (!clocks_.waitUntil(resumeAt, stop)) return false;
  }
}

void QueryPacer::TellLongEpisode(SteadyTime now) {
  std::chrono::seconds soFar{};
  {
    std::lock_guard lock(mutex_);
    if (!backoff_.InEpisode() || toldLong_) return;
    soFar = std::chrono::duration_cast<std::chrono::seconds>(now - backoff_.EpisodeStart());
    if (soFar < settings_.longEpisode) return;
    toldLong_ = true;
  }
  if (report_.throttledLong) report_.throttledLong(soFar);
}

void QueryPacer::AfterQuery(const TrainsResult& result, SteadyTime sentAt) {
  if (!result.movedQueryPath.empty() && report_.queryPathMoved) report_.queryPathMoved(result.movedQueryPath);
  // A failure without an answer says nothing about throttling.
  if (result.sign == QueryAnswerSign::kNormal && !result.Done()) return;
  const SteadyTime now = clocks_.steadyNow();
  ThrottleBackoff::Change change;
  std::chrono::milliseconds pause{};
  std::chrono::seconds lasted{};
  {
    std::lock_guard lock(mutex_);
    const SteadyTime start = backoff_.EpisodeStart();
    change = backoff_.Note(result.sign, sentAt, now, std::uniform_real_distribution<double>(0.0, 1.0)(random_));
    pause = backoff_.LastPause();
    if (change == ThrottleBackoff::Change::kEpisodeStarted) toldLong_ = false;
    if (change == ThrottleBackoff::Change::kEpisodeEnded) {
      lasted = std::chrono::duration_cast<std::chrono::seconds>(now - start);
    }
  }
  if (change == ThrottleBackoff::Change::kEpisodeStarted && report_.throttled) report_.throttled(pause);
  if (change == ThrottleBackoff::Change::kEpisodeEnded && report_.throttleEnded) report_.throttleEnded(lasted);
  TellLongEpisode(now);
}

bool QueryPacer::AfterOrderRefused(const OrderOutcome& outcome, const std::stop_token& stop) {
  if (outcome.refusal != AnswerKind::kServiceClosed) return false;
  // Believed even when the hours say open: closed until the next opening.
  const ServiceHours hours = settings_.hours.value_or(ServiceHours{});
  SystemTime serviceNow = clocks_.systemNow();
  if (clock_) {
    const std::optional<ServiceClockReading> reading = clock_->Reading(stop);
    if (!reading) return true;
    serviceNow = reading->estimate.ServiceTimeAt(clocks_.steadyNow());
  }
  std::lock_guard lock(mutex_);
  const SystemTime opening = NextOpening(hours, serviceNow);
  if (!closedByServiceUntil_ || *closedByServiceUntil_ < opening) closedByServiceUntil_ = opening;
  return true;
}

SteadyTime QueryPacer::LastActivity() const {
  std::lock_guard lock(mutex_);
  return lastActivity_;
}

void QueryPacer::NoteActivity(SteadyTime moment) {
  std::lock_guard lock(mutex_);
  if (moment > lastActivity_) lastActivity_ = moment;
}

}  // namespace quillet
