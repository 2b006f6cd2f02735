#pragma once
// The window's way of telling the person about bookings: the desktop
// notification (a click brings the window forward on the purchase page), the
// completion sound and the webhook. Reports of failed deliveries go to the
// window's log box.
#include <QDBusConnection>

#include "app/app_state.h"
#include "notify/notifier_set.h"
#include "notify/session_notifier.h"
#include "ui/notify_qt.h"

namespace quillet {

class MainWindow;
class Session;

class WindowNotifications {
 public:
  // Attaches itself to the session; create it on the window thread, after
  // the window and before any session operation.
  WindowNotifications(Session& session, MainWindow& window, const AppSettings& settings,
                      const QDBusConnection& bus = QDBusConnection::sessionBus());
  // Stops the notifiers (bounded) and detaches from the session: destroy it
  // after the session is closed and before the window goes.
  ~WindowNotifications();
  WindowNotifications(const WindowNotifications&) = delete;
  WindowNotifications& operator=(const WindowNotifications&) = delete;

  // Tells the person of an event besides what the session reports; returns at once.
  bool Tell(const NotifyEvent& event) { return notifiers_.Post(event); }

 private:
  Session& session_;
  NotificationClicks clicks_;
  NotifierSet notifiers_;
  SessionNotifier observer_;
};

}  // namespace quillet
