#include "app/window_notifications.h"

#include "notify/notification_text.h"
#include "session/session.h"
#include "ui/main_window.h"
#include "ui/thread_hand_over.h"

namespace quillet {

WindowNotifications::WindowNotifications(Assembly& assembly, Session& session, MainWindow& window)
    : assembly_(assembly) {
  NotifierHooks hooks;
  hooks.report = [&window](const NotifierReport& report) { window.AppendLogLine(ReportLine(report) + "\r\n"); };
  // From the notifier's thread to the window's; the assembly calls it only
  // until it is taken down, before the window goes.
  // The hand-over belongs to the window and goes with it.
  auto* handOver = new ThreadHandOver(&window);
  hooks.onDesktopClick = [handOver, &window] { handOver->Post([&window] { window.ShowPurchasePage(); }); };
  assembly_.StartNotifiers(std::move(hooks));
  session.AddObserver(assembly_.NotifierFor(session));
}

WindowNotifications::~WindowNotifications() { assembly_.TakeDown(); }

}  // namespace quillet
