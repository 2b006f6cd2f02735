// The window's QtDBus notification on a private bus: what the service
// receives, and a click on it coming back as a signal.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <thread>

#include "../ui/support/event_loop.h"
#include "notification_bus.h"
#include "quillet/version.h"
#include "scripted_notifier.h"
#include "ui/notify_qt.h"
#include "utf8_text.h"

namespace quillet::test {
namespace {

// Delivers on a thread of its own, as the NotifierSet does.
DeliveryResult DeliverOffThread(Notifier& notifier, const NotifyEvent& event) {
  DeliveryResult result;
  std::thread worker([&] { result = notifier.Deliver(event, {}); });
  worker.join();
  return result;
}

TEST(QtNotification, ShowsACriticalNotificationAndSignalsItsClick) {
  NotificationBus bus;
  ASSERT_TRUE(bus.Ready());
  FakeNotificationService& service = bus.Notifications();
  {
    QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "quillet-test");
    ASSERT_TRUE(connection.isConnected());
    NotificationClicks clicks(connection);
    std::vector<quint32> clicked;
    QObject::connect(&clicks, &NotificationClicks::notificationClicked, [&](quint32 id) { clicked.push_back(id); });
    std::unique_ptr<Notifier> notifier = clicks.MakeNotifier();

    EXPECT_EQ(DeliverOffThread(*notifier, SampleBooking()).outcome, DeliveryOutcome::kDelivered);
    const auto received = service.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].appName, "Quillet");
    EXPECT_EQ(received[0].icon, kDesktopId);
    EXPECT_EQ(received[0].summary, Utf8(u8"订票成功，请尽快付款"));
    EXPECT_EQ(received[0].body, Utf8(u8"G101 2026-12-20 二等座\n张伟\n订单号：E123456789"));
    EXPECT_EQ(received[0].urgency, 2);
    ASSERT_GE(received[0].actions.size(), 2u);
    EXPECT_EQ(received[0].actions[0], "default");

    // Someone else's notification, or another action: no signal.
    service.EmitActionInvoked(received[0].id + 100, "default");
    service.EmitActionInvoked(received[0].id, "other");
    service.EmitActionInvoked(received[0].id, "default");
    EXPECT_TRUE(WaitFor([&] { return !clicked.empty(); }));
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(clicked, std::vector<quint32>{received[0].id});
  }
  QDBusConnection::disconnectFromBus("quillet-test");
}

TEST(QtNotification, WithoutAServiceItReportsOnce) {
  NotificationBus bus(NotificationBus::Service::kNone);
  ASSERT_TRUE(bus.Ready());
  {
    QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "quillet-empty");
    NotificationClicks clicks(connection);
    std::unique_ptr<Notifier> notifier = clicks.MakeNotifier();
    EXPECT_EQ(DeliverOffThread(*notifier, SampleBooking()).outcome, DeliveryOutcome::kFailed);
    EXPECT_EQ(DeliverOffThread(*notifier, SampleBooking()).outcome, DeliveryOutcome::kSkipped);
  }
  QDBusConnection::disconnectFromBus("quillet-empty");
}

}  // namespace
}  // namespace quillet::test

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
