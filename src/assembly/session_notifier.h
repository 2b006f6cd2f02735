#pragma once
// Tells the person what matters of a session: a booking, an order to check
// by hand, a sign-in the service has forgotten. Attached to the session as an
// observer; every event is handed to a NotifierSet, which returns at once, so
// a grab worker never waits for a webhook or a notification service.
#include <atomic>
#include <string>
#include <utility>

#include "grab/grab_events.h"
#include "notify/notifier_set.h"
#include "notify/notify_event.h"
#include "session/session_observer.h"

namespace quillet {

// The event for an order report. The order chain's answers do not state a
// pay-by time, so it stays unknown; an empty order id is unknown as well.
NotifyEvent NotifyEventForOrder(NotifyEventKind kind, const OrderReport& order);

class SessionNotifier : public SessionObserver {
 public:
  // The set outlives this observer's attachment to the session.
  // `tellLapses` false: the caller tells of a lapse itself (a QR run tells it
  // with the new code to scan).
  explicit SessionNotifier(NotifierSet& notifiers, bool tellLapses = true)
      : notifiers_(notifiers), tellLapses_(tellLapses) {}

  // Lapses then name the page where the person signs in again; set before
  // the observer is attached.
  void SetPageUrl(std::string url) { pageUrl_ = std::move(url); }
  // Every notification names the session's account (a front end of several
  // accounts); set before the observer is attached.
  void SetNameAccount(bool name) { nameAccount_ = name; }

  void OnSignedIn() override;
  void OnOrderBooked(const OrderReport& order) override;
  void OnOrderNeedsManualCheck(const OrderReport& order) override;
  // Every worker that meets the lapsed sign-in reports it: the person is told
  // once, and again only after a new sign-in.
  void OnSessionLapsed(const SessionLapse& lapse) override;

 private:
  NotifierSet& notifiers_;
  const bool tellLapses_;
  std::string pageUrl_;
  bool nameAccount_ = false;
  std::atomic<bool> lapseTold_{false};
};

}  // namespace quillet
