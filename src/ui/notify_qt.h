#pragma once
// The window's desktop notification, sent with QtDBus so that clicking it can
// bring the window forward.
#include <QDBusConnection>
#include <QObject>
#include <memory>

#include "notify/notifier.h"

namespace quillet {

// Listens for clicks on the notifications its notifiers have shown. Lives on
// the window's thread; the notifiers it makes run on the NotifierSet's
// threads and may outlive it.
class NotificationClicks : public QObject {
  Q_OBJECT
 public:
  explicit NotificationClicks(const QDBusConnection& bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
  ~NotificationClicks() override;

  // A notifier that shows notifications with a "default" action (a click).
  std::unique_ptr<Notifier> MakeNotifier() const;

 signals:
  // The person clicked one of our notifications.
  void notificationClicked(quint32 id);

 private slots:
  void onActionInvoked(uint id, const QString& action);
  void onNotificationClosed(uint id, uint reason);

 public:
  struct Shown;  // ids of our notifications still on screen

 private:
  QDBusConnection bus_;
  std::shared_ptr<Shown> shown_;
};

}  // namespace quillet
