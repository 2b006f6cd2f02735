#include "assembly/assembly.h"

#include <algorithm>
#include <utility>

#include "grab/sale_schedule.h"

namespace quillet {

class Assembly::ClickGate {
 public:
  explicit ClickGate(std::function<void()> click) : click_(std::move(click)) {}

  void Click() {
    std::lock_guard lock(mutex_);
    if (click_) click_();
  }
  // Waits for a click under way; none follows.
  void Close() {
    std::lock_guard lock(mutex_);
    click_ = nullptr;
  }

 private:
  std::mutex mutex_;
  std::function<void()> click_;
};

Assembly::Assembly(ProgramSettings settings) : settings_(std::move(settings)), stations_(BuiltInStations()) {}

Assembly::~Assembly() { TakeDown(); }

Session& Assembly::AddSession(SessionSettings settings) {
  settings.service = settings_.service;
  settings.stations = stations_;
  auto session = std::make_unique<Session>(std::move(settings));
  std::lock_guard lock(mutex_);
  sessions_.push_back(std::move(session));
  return *sessions_.back();
}

NotifierSet& Assembly::StartNotifiers(NotifierHooks hooks) {
  std::lock_guard lock(mutex_);
  return StartNotifiersLocked(std::move(hooks));
}

NotifierSet& Assembly::Notifiers() {
  std::lock_guard lock(mutex_);
  return StartNotifiersLocked({});
}

NotifierSet& Assembly::StartNotifiersLocked(NotifierHooks hooks) {
  if (notifiers_) return *notifiers_;
  std::function<void()> onClick;
  if (hooks.onDesktopClick) {
    clicks_ = std::make_shared<ClickGate>(std::move(hooks.onDesktopClick));
    onClick = [gate = clicks_] { gate->Click(); };
  }
  notifiers_ = std::make_unique<NotifierSet>(std::move(hooks.report), hooks.limits);
  AddConfiguredNotifiers(*notifiers_, settings_.notify, settings_.service, std::move(onClick));
  return *notifiers_;
}

SessionNotifier& Assembly::NotifierFor(Session& session, bool tellLapses) {
  std::lock_guard lock(mutex_);
  const auto known = std::find_if(told_.begin(), told_.end(), [&](const Told& t) { return t.session == &session; });
  if (known != told_.end()) return *known->observer;
  NotifierSet& notifiers = StartNotifiersLocked({});
  told_.push_back({&session, std::make_unique<SessionNotifier>(notifiers, tellLapses)});
  return *told_.back().observer;
}

std::shared_ptr<SharedServiceClock> Assembly::ServiceClock(ClockReport report) {
  std::lock_guard lock(mutex_);
  if (!clock_) clock_ = std::make_shared<SharedServiceClock>(HttpClockEstimator(settings_.service), std::move(report));
  return clock_;
}

WishScheduleFactory Assembly::SaleScheduleFactory() { return MakeSaleScheduleFactory(ServiceClock()); }

std::vector<PendingDelivery> Assembly::TakeDown(const DrainControl& control) {
  std::vector<Session*> sessions;
  std::vector<std::pair<Session*, SessionNotifier*>> told;
  NotifierSet* notifiers = nullptr;
  std::shared_ptr<ClickGate> clicks;
  {
    std::lock_guard lock(mutex_);
    if (takenDown_) return {};
    takenDown_ = true;
    for (const auto& session : sessions_) sessions.push_back(session.get());
    for (const Told& t : told_) told.emplace_back(t.session, t.observer.get());
    notifiers = notifiers_.get();
    clicks = clicks_;
  }
  // The workers first: what they report while they end still reaches the
  // notifiers, which are then given their time.
  for (Session* session : sessions) session->Close();
  std::vector<PendingDelivery> givenUp;
  if (notifiers != nullptr) givenUp = notifiers->Stop(control);
  if (clicks) clicks->Close();
  for (const auto& [session, observer] : told) session->RemoveObserver(*observer);
  return givenUp;
}

}  // namespace quillet
