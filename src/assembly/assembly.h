#pragma once
// A running program put together from one settings value: the station table
// (loaded once and shared read-only by every session), a session per account,
// the notifiers and the observers that feed them, and the one estimate of the
// service's clock behind the sale schedules. Both front ends build their
// program here and end it with TakeDown, in one order.
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "assembly/program_settings.h"
#include "assembly/session_notifier.h"
#include "grab/shared_service_clock.h"
#include "grab/wish_schedule.h"
#include "notify/notifier_set.h"
#include "session/session.h"
#include "stations/station_directory.h"

namespace quillet {

// What a front end does with what the notifiers have to say.
struct NotifierHooks {
  // Every delivery's report, on the notifier's thread (see NotifierSet).
  NotifierSet::ReportFn report;
  // A click on one of the desktop notifications, on the desktop notifier's
  // thread; empty: the notifications offer no click.
  std::function<void()> onDesktopClick;
  NotifierSetLimits limits;
};

class Assembly {
 public:
  explicit Assembly(ProgramSettings settings);
  // TakeDown(), then every session is freed.
  ~Assembly();
  Assembly(const Assembly&) = delete;
  Assembly& operator=(const Assembly&) = delete;

  const ProgramSettings& Settings() const { return settings_; }
  const std::shared_ptr<const StationDirectory>& Stations() const { return stations_; }

  // A new session; its service and station table are the program's, the
  // rest comes from `settings`. It lives as long as the assembly.
  Session& AddSession(SessionSettings settings = {});

  // Makes the notifiers the settings ask for, with the front end's hooks;
  // once, before the first event (a later call returns the set as it is).
  // Neither hook runs once TakeDown has returned.
  NotifierSet& StartNotifiers(NotifierHooks hooks);
  // The notifiers, started without hooks when nobody started them yet.
  NotifierSet& Notifiers();

  // The observer that tells the notifiers of `session`'s bookings, manual
  // checks and (unless !tellLapses) lapsed sign-ins; made at the first call.
  // Attach it after the front end's own observers, so that they hear each
  // event first. TakeDown detaches it.
  SessionNotifier& NotifierFor(Session& session, bool tellLapses = true);

  // The one estimate of the service's clock, reached like the service; the
  // report given at the first call hears every estimate.
  std::shared_ptr<SharedServiceClock> ServiceClock(ClockReport report = {});
  // Schedules for wishes that wait for a sale opening, all on that estimate.
  WishScheduleFactory SaleScheduleFactory();

  // Ends the program's work in one order: every session's workers are
  // stopped and joined (a booking they confirm meanwhile is still told),
  // then the notifiers drain as `control` says, then the notifier observers
  // are detached. Returns the deliveries given up. Later calls do nothing.
  std::vector<PendingDelivery> TakeDown(const DrainControl& control = {});

 private:
  struct Told {
    Session* session;
    std::unique_ptr<SessionNotifier> observer;
  };
  // Calls the front end's click hook until TakeDown closes it.
  class ClickGate;

  NotifierSet& StartNotifiersLocked(NotifierHooks hooks);

  const ProgramSettings settings_;
  const std::shared_ptr<const StationDirectory> stations_;

  // Set-up calls may come from any thread; none is held across a session's
  // or a notifier's work.
  std::mutex mutex_;
  std::shared_ptr<ClickGate> clicks_;
  // Freed in reverse order: the sessions (which point at the observers),
  // then the observers (which post to the notifiers), then the notifiers.
  std::unique_ptr<NotifierSet> notifiers_;
  std::vector<Told> told_;
  std::vector<std::unique_ptr<Session>> sessions_;
  std::shared_ptr<SharedServiceClock> clock_;
  bool takenDown_ = false;
};

}  // namespace quillet
