// The program put together from one settings value: one station table shared
// by every session, one service reached alike by the client, the clock probe
// and the webhook, clicks that stop with the take-down, and the take-down's
// order (workers joined, then notifiers drained).
#include "assembly/assembly.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stop_token>
#include <thread>

#include "booking/service_paths.h"
#include "gbk.h"
#include "notification_bus.h"
#include "raw_http_server.h"
#include "scripted_notifier.h"
#include "sim_support.h"
#include "ui/order_form.h"
#include "wait_until.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

// Nothing that reaches the desktop or the speakers.
ProgramSettings Quiet(std::string serviceAddress) {
  ProgramSettings settings;
  settings.service.address = std::move(serviceAddress);
  settings.notify.desktop = false;
  settings.notify.sound = false;
  return settings;
}

OrderWish SecondClassWish() {
  PassengerRecord passenger;
  passenger.passenger_name = G(u8"张伟");
  passenger.passenger_type = "1";
  passenger.passenger_type_name = G(u8"成人");
  passenger.passenger_id_type_code = "1";
  passenger.passenger_id_type_name = G(u8"中国居民身份证");
  passenger.passenger_id_no = "110101199001011234";
  return WishFromTaskRow(WishRow("G101", ChinaDate(3), passenger, G(u8"成人票(1)"), G(u8"二等座| ,")));
}

TEST(Assembly, EverySessionReadsTheOneStationTableOfTheProcess) {
  Assembly assembly(Quiet("http://127.0.0.1:9"));
  Session& first = assembly.AddSession();
  SessionSettings named;
  named.account = "second";
  Session& second = assembly.AddSession(named);
  EXPECT_NE(&first, &second);
  EXPECT_EQ(second.Account(), "second");
  EXPECT_EQ(&first.Stations(), assembly.Stations().get());
  EXPECT_EQ(&second.Stations(), assembly.Stations().get());
  EXPECT_EQ(&first.Client().Stations(), &second.Client().Stations());
  // Another program in the same process does not load it again either.
  Assembly other(Quiet("http://127.0.0.1:9"));
  EXPECT_EQ(other.Stations(), assembly.Stations());
  EXPECT_EQ(assembly.Stations(), BuiltInStations());
  EXPECT_FALSE(assembly.Stations()->Records().empty());
}

TEST(Assembly, TheClientTheClockProbeAndTheWebhookAllGoThroughTheServicesProxy) {
  RawHttpServer proxy([](const RawRequest& request, RawConnection& connection) {
    if (request.method == "HEAD") {
      connection.Send(Answer(200, {"Date: Fri, 11 Dec 2026 03:00:00 GMT", "Content-Length: 0"}));
    } else {
      connection.Send(Answer(204));
    }
  });
  ProgramSettings settings = Quiet("http://service.quillet.test");
  settings.service.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  settings.notify.webhookUrl = "http://hook.quillet.test/push";
  Assembly assembly(settings);
  Session& session = assembly.AddSession();

  session.QueryTrains(false, ChinaDate(3), "BJP", "SHH");
  std::stop_source stopProbing;
  std::thread probe([&] { assembly.ServiceClock()->Reading(stopProbing.get_token()); });
  assembly.Notifiers().Post(SampleBooking());

  const auto seen = [&](const std::string& method, const std::string& prefix) {
    for (const RawRequest& request : proxy.Requests()) {
      if (request.method == method && request.target.rfind(prefix, 0) == 0) return true;
    }
    return false;
  };
  const std::string service = "http://service.quillet.test";
  EXPECT_TRUE(WaitUntil([&] { return seen("GET", service + service_paths::kLeftTicketQuery); }, 10s));
  EXPECT_TRUE(WaitUntil([&] { return seen("HEAD", service + service_paths::kApplicationRoot); }, 10s));
  EXPECT_TRUE(WaitUntil([&] { return seen("POST", "http://hook.quillet.test/push"); }, 10s));
  stopProbing.request_stop();
  probe.join();
  assembly.TakeDown();
}

TEST(Assembly, TakeDownJoinsTheWorkersBeforeTheNotifiersDrain) {
  // A service that never answers: the worker stays in its query until closed.
  RawHttpServer silent([](const RawRequest&, RawConnection& connection) { connection.Wait(60s); });
  Assembly assembly(Quiet(silent.Url("")));
  NotifierHooks hooks;
  hooks.limits.drainBound = 100ms;
  NotifierSet& notifiers = assembly.StartNotifiers(std::move(hooks));
  Session& session = assembly.AddSession();

  // A delivery still under way when the take-down begins: it ends only when
  // the drain gives it up, and notes how many workers ran at that moment.
  std::atomic<bool> delivering{false};
  std::atomic<int> workersWhenDrained{-1};
  notifiers.Add(std::make_unique<ScriptedNotifier>("recording", [&](const NotifyEvent&, std::stop_token stop) {
    delivering = true;
    WaitUntil([&] { return stop.stop_requested(); }, 30s);
    workersWhenDrained = session.RunningWorkerCount();
    return DeliveryResult{DeliveryOutcome::kSkipped, {}};
  }));
  session.AddObserver(assembly.NotifierFor(session));

  session.AddWish(SecondClassWish());
  session.StartGrabbing();
  ASSERT_TRUE(WaitUntil([&] { return session.RunningWorkerCount() == 1 && !silent.Requests().empty(); }, 10s));
  notifiers.Post(SampleBooking());
  ASSERT_TRUE(WaitUntil([&] { return delivering.load(); }, 10s));

  const std::vector<PendingDelivery> givenUp = assembly.TakeDown();
  EXPECT_EQ(workersWhenDrained, 0);
  EXPECT_EQ(session.RunningWorkerCount(), 0);
  ASSERT_EQ(givenUp.size(), 1u);
  EXPECT_EQ(givenUp[0].notifier, "recording");
  // Taken down once: a later call has nothing left to do.
  EXPECT_TRUE(assembly.TakeDown().empty());
  EXPECT_FALSE(notifiers.Post(SampleBooking()));
}

TEST(Assembly, ADesktopClickReachesTheFrontEndOnlyUntilTheTakeDown) {
  NotificationBus bus;
  ASSERT_TRUE(bus.Ready());
  ProgramSettings settings = Quiet("http://127.0.0.1:9");
  settings.notify.desktop = true;
  settings.notify.desktopBus = bus.Address();
  Assembly assembly(settings);
  std::atomic<int> clicks{0};
  NotifierHooks hooks;
  hooks.onDesktopClick = [&clicks] { ++clicks; };
  assembly.StartNotifiers(std::move(hooks));

  assembly.Notifiers().Post(SampleBooking());
  ASSERT_TRUE(WaitUntil([&] { return !bus.Notifications().Received().empty(); }, 10s));
  const std::uint32_t id = bus.Notifications().Received()[0].id;
  bus.Notifications().EmitActionInvoked(id, "default");
  ASSERT_TRUE(WaitUntil([&] { return clicks == 1; }, 10s));

  assembly.TakeDown();
  // The notifier is still there, but whatever the click would reach may not be.
  bus.Notifications().EmitActionInvoked(id, "default");
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace quillet::test
