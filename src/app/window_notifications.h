#pragma once
// The window's way of telling the person about bookings: the program's
// notifiers (the desktop notification, the completion sound, the webhook),
// whose failed deliveries go to the window's log box, and a click on the
// desktop notification brings the window forward on the purchase page.
#include "assembly/assembly.h"

namespace quillet {

class MainWindow;
class Session;

class WindowNotifications {
 public:
  // Starts the assembly's notifiers for the window and tells them what
  // `session` reports. Create it on the window thread, after the window and
  // before any session operation.
  WindowNotifications(Assembly& assembly, Session& session, MainWindow& window);
  // Takes the assembly down (the session's workers, then the notifiers,
  // bounded), so that nothing reaches the window any more: destroy it
  // before the window goes.
  ~WindowNotifications();
  WindowNotifications(const WindowNotifications&) = delete;
  WindowNotifications& operator=(const WindowNotifications&) = delete;

  // Tells the person of an event besides what the session reports; returns at once.
  bool Tell(const NotifyEvent& event) { return assembly_.Notifiers().Post(event); }

 private:
  Assembly& assembly_;
};

}  // namespace quillet
