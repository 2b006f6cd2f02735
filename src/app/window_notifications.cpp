#include "app/window_notifications.h"

#include "notify/notification_text.h"
#include "notify/notify_settings.h"
#include "session/session.h"
#include "ui/main_window.h"

namespace quillet {

WindowNotifications::WindowNotifications(Session& session, MainWindow& window, const AppSettings& settings,
                                         const QDBusConnection& bus)
    : session_(session),
      clicks_(bus),
      notifiers_([&window](const NotifierReport& report) { window.AppendLogLine(ReportLine(report) + "\r\n"); }),
      observer_(notifiers_) {
  notifiers_.Add(clicks_.MakeNotifier());
  NotifySettings configured;
  configured.desktop = false;  // the QtDBus one above, which knows its clicks
  configured.sound = settings.sound;
  configured.webhookUrl = settings.notifyUrl;
  configured.extraCaFile = settings.caFile;
  AddConfiguredNotifiers(notifiers_, configured);
  QObject::connect(&clicks_, &NotificationClicks::notificationClicked, &window, &MainWindow::ShowPurchasePage);
  session_.AddObserver(observer_);
}

WindowNotifications::~WindowNotifications() {
  notifiers_.Stop();
  session_.RemoveObserver(observer_);
}

}  // namespace quillet
