#include "cli/run_pacing.h"

#include "notify/notify_event.h"
#include "util/china_moment.h"

namespace quillet::cli {
namespace {

// "HH:MM" of a service moment, China Standard Time.
std::string ClockText(SystemTime moment) {
  const auto local = moment + std::chrono::hours(8);
  const auto sinceMidnight = local - std::chrono::floor<std::chrono::days>(local);
  return ClockOfDay(static_cast<int>(std::chrono::duration_cast<std::chrono::minutes>(sinceMidnight).count()));
}

}  // namespace

std::shared_ptr<QueryPacer> MakeRunPacer(const Plan& plan, std::shared_ptr<SharedServiceClock> clock,
                                         EventOutput& output, NotifierSet& notifiers) {
  PacerSettings settings;
  settings.hours = plan.serviceHours;
  settings.maxQueriesPerSecond = plan.maxQueriesPerSecond;
  PacerReport report;
  report.closed = [&output](SystemTime opening, bool toldByService) {
    ServiceEvent event;
    event.kind = toldByService ? ServiceEvent::Kind::kClosedByService : ServiceEvent::Kind::kClosed;
    event.until = ClockText(opening);
    output.Write(event);
  };
  report.throttled = [&output](std::chrono::milliseconds pause) {
    ServiceEvent event;
    event.kind = ServiceEvent::Kind::kThrottled;
    event.pauseMs = pause.count();
    output.Write(event);
  };
  report.throttledLong = [&output, &notifiers](std::chrono::seconds soFar) {
    ServiceEvent event;
    event.kind = ServiceEvent::Kind::kStillThrottled;
    event.seconds = soFar.count();
    output.Write(event);
    NotifyEvent notice;
    notice.kind = NotifyEventKind::kThrottled;
    notifiers.Post(notice);
  };
  report.throttleEnded = [&output](std::chrono::seconds lasted) {
    ServiceEvent event;
    event.kind = ServiceEvent::Kind::kThrottleEnded;
    event.seconds = lasted.count();
    output.Write(event);
  };
  report.queryPathMoved = [&output](const std::string& path) {
    ServiceEvent event;
    event.kind = ServiceEvent::Kind::kQueryPathMoved;
    event.path = path;
    output.Write(event);
  };
  return std::make_shared<QueryPacer>(settings, std::move(clock), std::move(report));
}

std::unique_ptr<KeepAlive> MakeKeepAlive(Session& session, std::shared_ptr<QueryPacer> pacer,
                                         std::chrono::milliseconds interval) {
  QueryPacer* raw = pacer.get();
  return std::make_unique<KeepAlive>(
      interval, [pacer = std::move(pacer)] { return pacer->LastActivity(); },
      [&session, raw](const std::stop_token& stop) {
        session.Client().CheckUser(stop);
        raw->NoteActivity(raw->Clocks().steadyNow());
      },
      raw->Clocks());
}

}  // namespace quillet::cli
