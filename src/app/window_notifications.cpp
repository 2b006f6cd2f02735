#include "app/window_notifications.h"

#include <QMetaObject>

#include "notify/notification_text.h"
#include "session/session.h"
#include "ui/main_window.h"

namespace quillet {

WindowNotifications::WindowNotifications(Assembly& assembly, Session& session, MainWindow& window)
    : assembly_(assembly) {
  NotifierHooks hooks;
  hooks.report = [&window](const NotifierReport& report) { window.AppendLogLine(ReportLine(report) + "\r\n"); };
  // From the notifier's thread to the window's; the assembly calls it only
  // until it is taken down, before the window goes.
  hooks.onDesktopClick = [&window] {
    QMetaObject::invokeMethod(
        &window, [&window] { window.ShowPurchasePage(); }, Qt::QueuedConnection);
  };
  assembly_.StartNotifiers(std::move(hooks));
  session.AddObserver(assembly_.NotifierFor(session));
}

WindowNotifications::~WindowNotifications() { assembly_.TakeDown(); }

}  // namespace quillet
