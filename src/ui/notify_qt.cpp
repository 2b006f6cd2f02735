#include "ui/notify_qt.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>
#include <QVariantMap>
#include <mutex>
#include <set>

#include "notify/notification_text.h"
#include "notify/texts.h"

namespace quillet {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kCallLimitMs = 2000;

}  // namespace

struct NotificationClicks::Shown {
  std::mutex mutex;
  std::set<uint> ids;

  void Add(uint id) {
    std::lock_guard lock(mutex);
    ids.insert(id);
  }
  bool Remove(uint id) {
    std::lock_guard lock(mutex);
    return ids.erase(id) > 0;
  }
};

namespace {

class QtDesktopNotifier : public Notifier {
 public:
  QtDesktopNotifier(QDBusConnection bus, std::shared_ptr<NotificationClicks::Shown> shown)
      : bus_(std::move(bus)), shown_(std::move(shown)) {}

  std::string_view Name() const override { return "desktop"; }

  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override {
    if (stop.stop_requested()) return {DeliveryOutcome::kSkipped, {}};
    if (!bus_.isConnected()) return FailOnce(notify_texts::NoSessionBus());
    const NotificationText text = NotificationFor(event);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(text.urgency)));
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kNotificationIcon));
    call << QString::fromLatin1(kNotificationAppName) << 0u << QString::fromLatin1(kNotificationIcon)
         << QString::fromUtf8(text.summary) << QString::fromUtf8(text.body)
         << QStringList{QStringLiteral("default"), QString::fromUtf8(text.summary)} << hints << -1;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallLimitMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
      shown_->Add(reply.arguments().constFirst().toUInt());
      failureReported_ = false;
      return {DeliveryOutcome::kDelivered, {}};
    }
    std::string detail = notify_texts::NoNotificationService();
    if (!reply.errorMessage().isEmpty()) detail += ": " + reply.errorMessage().toStdString();
    return FailOnce(detail);
  }

 private:
  DeliveryResult FailOnce(const std::string& detail) {
    if (failureReported_) return {DeliveryOutcome::kSkipped, {}};
    failureReported_ = true;
    return {DeliveryOutcome::kFailed, detail};
  }

  QDBusConnection bus_;
  std::shared_ptr<NotificationClicks::Shown> shown_;
  bool failureReported_ = false;
};

}  // namespace

NotificationClicks::NotificationClicks(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus), shown_(std::make_shared<Shown>()) {
  bus_.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
  bus_.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
               SLOT(onNotificationClosed(uint, uint)));
}

NotificationClicks::~NotificationClicks() = default;

std::unique_ptr<Notifier> NotificationClicks::MakeNotifier() const {
  return std::make_unique<QtDesktopNotifier>(bus_, shown_);
}

void NotificationClicks::onActionInvoked(uint id, const QString& action) {
  if (action != QStringLiteral("default")) return;
  bool ours = false;
  {
    std::lock_guard lock(shown_->mutex);
    ours = shown_->ids.count(id) > 0;
  }
  if (ours) emit notificationClicked(id);
}

void NotificationClicks::onNotificationClosed(uint id, uint) { shown_->Remove(id); }

}  // namespace quillet
