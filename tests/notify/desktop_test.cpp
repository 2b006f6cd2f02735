// The sd-bus desktop notification against a private session bus with a
// recording notification service; and without either.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "notification_bus.h"
#include "notify/desktop_notifier.h"
#include "notify/notifier_set.h"
#include "quillet/version.h"
#include "scripted_notifier.h"
#include "utf8_text.h"
#include "util/codepage.h"
#include "wait_until.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

DesktopNotifierOptions On(const std::string& address) {
  DesktopNotifierOptions options;
  options.busAddress = address;
  return options;
}

TEST(DesktopNotifier, SendsTheNotificationToTheService) {
  NotificationBus bus;
  ASSERT_TRUE(bus.Ready());

  DesktopNotifier notifier(On(bus.Address()));
  NotifyEvent manual = SampleBooking();
  manual.kind = NotifyEventKind::kManualCheck;
  manual.orderId.reset();
  EXPECT_EQ(notifier.Deliver(SampleBooking(), {}).outcome, DeliveryOutcome::kDelivered);
  EXPECT_EQ(notifier.Deliver(manual, {}).outcome, DeliveryOutcome::kDelivered);

  const auto received = bus.Notifications().Received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].appName, "Quillet");
  EXPECT_EQ(received[0].icon, kDesktopId);
  EXPECT_EQ(received[0].summary, Utf8(u8"订票成功，请尽快付款"));
  EXPECT_EQ(received[0].body, Utf8(u8"G101 2026-12-20 二等座\n张伟\n订单号：E123456789"));
  EXPECT_EQ(received[0].urgency, 2);
  EXPECT_EQ(received[1].summary, Utf8(u8"请手动查看购票结果"));
  EXPECT_EQ(received[1].urgency, 1);
}

TEST(DesktopNotifier, WithoutServiceOrBusItReportsOnceAndTheOthersStillRun) {
  NotificationBus bus(NotificationBus::Service::kNone);
  ASSERT_TRUE(bus.Ready());
  const struct {
    const char* name;
    std::string address;
    std::string detail;
  } cases[] = {
      {"bus without a notification service", bus.Address(), Gbk(u8"没有桌面通知服务")},
      {"no bus", "unix:path=/nonexistent/quillet/bus", Gbk(u8"没有会话总线，桌面通知不可用")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::mutex mutex;
    std::vector<NotifierReport> reports;
    std::atomic<int> others{0};
    {
      NotifierSet set([&](const NotifierReport& report) {
        std::lock_guard lock(mutex);
        reports.push_back(report);
      });
      set.Add(std::make_unique<DesktopNotifier>(On(c.address)));
      set.Add(std::make_unique<ScriptedNotifier>("other", [&](const NotifyEvent&, std::stop_token) {
        ++others;
        return DeliveryResult{DeliveryOutcome::kSkipped, {}};
      }));
      set.Post(SampleBooking());
      set.Post(SampleBooking());
      ASSERT_TRUE(WaitUntil([&] { return others == 2; }, 10s));
    }
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].outcome, DeliveryOutcome::kFailed);
    EXPECT_EQ(reports[0].detail.substr(0, c.detail.size()), c.detail);
  }
}

TEST(DesktopNotifier, OffersAClickOnlyWhenToldWhatItDoesAndHearsClicksOnItsOwnNotifications) {
  NotificationBus bus;
  ASSERT_TRUE(bus.Ready());
  FakeNotificationService& service = bus.Notifications();
  std::atomic<int> clicks{0};
  DesktopNotifierOptions clickable = On(bus.Address());
  clickable.onClick = [&clicks] { ++clicks; };
  {
    DesktopNotifier plain(On(bus.Address()));
    DesktopNotifier notifier(clickable);
    ASSERT_EQ(plain.Deliver(SampleBooking(), {}).outcome, DeliveryOutcome::kDelivered);
    ASSERT_EQ(notifier.Deliver(SampleBooking(), {}).outcome, DeliveryOutcome::kDelivered);
    const auto received = service.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[0].actions.empty());
    ASSERT_EQ(received[1].actions.size(), 2u);
    EXPECT_EQ(received[1].actions[0], "default");
    EXPECT_EQ(received[1].actions[1], Utf8(u8"订票成功，请尽快付款"));

    // Someone else's notification, another action, a closed one: no click.
    service.EmitActionInvoked(received[1].id + 100, "default");
    service.EmitActionInvoked(received[1].id, "other");
    service.EmitActionInvoked(received[0].id, "default");  // the plain notifier's, unheard by this one's bus
    service.EmitActionInvoked(received[1].id, "default");
    ASSERT_TRUE(WaitUntil([&] { return clicks > 0; }, 5s));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(clicks, 1);

    // Once the service has closed it, it is no longer ours to click.
    service.EmitNotificationClosed(received[1].id);
    service.EmitActionInvoked(received[1].id, "default");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(clicks, 1);
  }
  // After the notifier has gone, a click runs nothing.
  service.EmitActionInvoked(service.Received()[1].id, "default");
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(clicks, 1);
}

TEST(DesktopNotifier, AStopEndsTheWaitForAServiceThatDoesNotAnswer) {
  NotificationBus bus;
  ASSERT_TRUE(bus.Ready());
  bus.Notifications().HoldAnswers(true);
  DesktopNotifierOptions options = On(bus.Address());
  options.callLimit = 20s;
  DesktopNotifier notifier(options);
  std::stop_source stop;
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(300ms);
    stop.request_stop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(notifier.Deliver(SampleBooking(), stop.get_token()).outcome, DeliveryOutcome::kSkipped);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  stopper.join();
  bus.Notifications().HoldAnswers(false);
}

}  // namespace
}  // namespace quillet::test
