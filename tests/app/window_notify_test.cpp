// The window's notifications on a private bus: a click on the desktop
// notification brings the window forward on the purchase page; without a
// notification service nothing breaks and the log box says why.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "../ui/support/event_loop.h"
#include "app/window_notifications.h"
#include "notification_bus.h"
#include "scripted_notifier.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/main_window.h"

namespace quillet::test {
namespace {

QTabWidget* Tabs(MainWindow& window) { return FindControl<QTabWidget>(&window, QStringLiteral(u"高级选择夹1")); }

ProgramSettings QuietOn(const std::string& busAddress) {
  ProgramSettings settings;
  settings.notify.sound = false;
  settings.notify.desktopBus = busAddress;
  return settings;
}

TEST(WindowNotifications, AClickShowsThePurchasePage) {
  NotificationBus bus;
  ASSERT_TRUE(bus.Ready());
  FakeNotificationService& service = bus.Notifications();
  {
    Assembly assembly(QuietOn(bus.Address()));
    Session& session = assembly.AddSession();
    MainWindow window(session);
    WindowNotifications notifications(assembly, session, window);
    window.show();
    ASSERT_NE(Tabs(window), nullptr);
    Tabs(window)->setCurrentIndex(0);

    EXPECT_TRUE(notifications.Tell(SampleBooking()));
    ASSERT_TRUE(WaitFor([&] { return !service.Received().empty(); }));
    const RecordedNotification shown = service.Received()[0];
    EXPECT_EQ(shown.urgency, 2);
    EXPECT_EQ(Tabs(window)->currentIndex(), 0);
    service.EmitActionInvoked(shown.id, "default");
    EXPECT_TRUE(WaitFor([&] { return Tabs(window)->currentIndex() == 1; }));
    EXPECT_TRUE(window.isVisible());
    window.Shutdown();
  }
}

TEST(WindowNotifications, WithoutANotificationServiceTheLogSaysSoOnce) {
  NotificationBus bus(NotificationBus::Service::kNone);
  ASSERT_TRUE(bus.Ready());
  {
    Assembly assembly(QuietOn(bus.Address()));
    Session& session = assembly.AddSession();
    MainWindow window(session);
    WindowNotifications notifications(assembly, session, window);
    auto* log = FindControl<QPlainTextEdit>(&window, QStringLiteral(u"编辑框5"));
    ASSERT_NE(log, nullptr);
    const QString before = log->toPlainText();
    const QString failed = QStringLiteral(u"通知 desktop 失败：没有桌面通知服务");
    notifications.Tell(SampleBooking());
    EXPECT_TRUE(WaitFor([&] { return log->toPlainText().contains(failed); }));
    notifications.Tell(SampleBooking());
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(log->toPlainText().count(failed), 1) << log->toPlainText().toStdString();
    window.Shutdown();
  }
}

}  // namespace
}  // namespace quillet::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
