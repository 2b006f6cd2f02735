// A booking against quillet-sim told through every notifier: the webhook, the
// command, the desktop notification on a private bus and the sound, each once;
// and a webhook that never answers does not hold up the worker.
#include "assembly/session_notifier.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>

#include "gbk.h"
#include "notification_bus.h"
#include "notify/command_notifier.h"
#include "notify/desktop_notifier.h"
#include "notify/event_json.h"
#include "notify/webhook_notifier.h"
#include "raw_http_server.h"
#include "scripted_notifier.h"
#include "session/session.h"
#include "sim_support.h"
#include "ui/order_form.h"
#include "wait_until.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The booking the session reports, and how long after the order chain ended
// the report reached this observer (attached after the notifier).
class BookingWatch : public SessionObserver {
 public:
  void OnOrderBooked(const OrderReport& order) override {
    std::lock_guard lock(mutex_);
    booked_.push_back(order);
    chainEndToReport_ = std::chrono::system_clock::now() - order.at;
  }
  std::vector<OrderReport> Booked() const {
    std::lock_guard lock(mutex_);
    return booked_;
  }
  std::chrono::system_clock::duration ChainEndToReport() const {
    std::lock_guard lock(mutex_);
    return chainEndToReport_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<OrderReport> booked_;
  std::chrono::system_clock::duration chainEndToReport_{};
};

// The document without its "at" time, which the test cannot know.
std::string WithoutTime(std::string json) {
  const std::size_t at = json.find(",\"at\":\"");
  if (at == std::string::npos) return json;
  const std::size_t end = json.find('"', at + 7);
  return json.erase(at, end + 1 - at);
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SessionNotifyTest : public ::testing::Test {
 protected:
  SessionNotifyTest() : sim_({"--max-unpaid", "100", "--release-every", "3600"}) {}

  // Signs in, wishes for the first second-class train three days ahead for the
  // account's first passenger, releases tickets and grabs until it is booked.
  void BookOnce(Session& session, BookingWatch& watch) {
    bool signedIn = false;
    for (int attempt = 0; attempt < 3 && !signedIn; ++attempt) {
      if (session.FetchCaptcha().picture.empty()) continue;
      const std::string id = CookieValue(session.Client().Cookies().Text(), "JSESSIONID");
      signedIn = session.SignIn("demo", "demo1234", CaptchaAnswer(sim_.CaptchaCells(id))).Done();
    }
    ASSERT_TRUE(signedIn);
    ASSERT_TRUE(session.LoadPassengers().Done());
    passenger_ = session.Passengers().at(0);
    date_ = ChinaDate(3);
    const TrainsResult trains = session.QueryTrains(false, date_, "BJP", "SHH");
    ASSERT_TRUE(trains.Done());
    const auto train = std::find_if(trains.trains.begin(), trains.trains.end(), [](const TrainRecord& t) {
      return t.canWebBuy == "Y" && t.secondClassSeat != "--";
    });
    ASSERT_NE(train, trains.trains.end());
    code_ = train->stationTrainCode;
    session.AddWish(WishFromTaskRow(WishRow(code_, date_, passenger_, G(u8"成人票(1)"), G(u8"二等座| ,"))));
    sim_.Release(date_, Utf8FromGbk(code_), "O", 3);
    session.StartGrabbing();
    ASSERT_TRUE(WaitUntil([&] { return !watch.Booked().empty(); }, 30s));
    session.StopGrabbing();
  }

  SessionSettings Settings() const {
    SessionSettings settings;
    settings.service.address = sim_.BaseUrl();
    settings.referenceDate = ChinaDate(0);
    settings.pacing = {500ms, 50ms, 100ms};
    return settings;
  }

  SimProcess sim_;
  PassengerRecord passenger_;
  std::string date_, code_;
};

TEST_F(SessionNotifyTest, ABookingReachesEveryNotifierExactlyOnce) {
  ASSERT_TRUE(sim_.Running());
  NotificationBus bus;
  ASSERT_TRUE(bus.Ready());
  FakeNotificationService& desktop = bus.Notifications();
  RawHttpServer hook([](const RawRequest&, RawConnection& connection) { connection.Send(Answer(204)); });
  const std::filesystem::path commandFile =
      std::filesystem::temp_directory_path() / ("quillet-session-notify-" + std::to_string(::getpid()));
  std::filesystem::remove(commandFile);

  std::mutex mutex;
  std::vector<NotifyEvent> sounded;
  std::vector<NotifierReport> reports;
  NotifierSet notifiers([&](const NotifierReport& report) {
    std::lock_guard lock(mutex);
    reports.push_back(report);
  });
  DesktopNotifierOptions desktopOptions;
  desktopOptions.busAddress = bus.Address();
  notifiers.Add(std::make_unique<DesktopNotifier>(desktopOptions));
  WebhookOptions webhook;
  webhook.url = hook.Url("/push");
  notifiers.Add(std::make_unique<WebhookNotifier>(webhook));
  CommandOptions command;
  command.argv = {"/bin/sh", "-c", "cat >> \"$0\"", commandFile.string()};
  notifiers.Add(std::make_unique<CommandNotifier>(command));
  notifiers.Add(std::make_unique<ScriptedNotifier>("sound", [&](const NotifyEvent& event, std::stop_token) {
    std::lock_guard lock(mutex);
    sounded.push_back(event);
    return DeliveryResult{DeliveryOutcome::kDelivered, {}};
  }));

  Session session(Settings());
  SessionNotifier told(notifiers);
  BookingWatch watch;
  session.AddObserver(told);
  session.AddObserver(watch);
  BookOnce(session, watch);
  session.Close();
  notifiers.Stop();  // lets the queued deliveries finish
  session.RemoveObserver(watch);
  session.RemoveObserver(told);
  ASSERT_FALSE(HasFatalFailure());

  ASSERT_EQ(watch.Booked().size(), 1u);
  const OrderReport order = watch.Booked()[0];
  EXPECT_EQ(order.train, code_);
  EXPECT_EQ(order.date, date_);
  EXPECT_EQ(order.seatName, G(u8"二等座"));
  EXPECT_EQ(order.passengers, std::vector<std::string>{passenger_.passenger_name});
  ASSERT_FALSE(order.orderId.empty());
  const NotifyEvent expected = NotifyEventForOrder(NotifyEventKind::kBooked, order);

  {
    std::lock_guard lock(mutex);
    ASSERT_EQ(sounded.size(), 1u);
    // Both moments are "now", taken apart: they may fall on two sides of a second.
    EXPECT_EQ(WithoutTime(EventJson(sounded[0])), WithoutTime(EventJson(expected)));
    EXPECT_EQ(reports.size(), 4u);
    for (const NotifierReport& report : reports) {
      EXPECT_EQ(report.outcome, DeliveryOutcome::kDelivered) << report.notifier << ": " << report.detail;
    }
  }
  const std::string json = WithoutTime(EventJson(expected));
  EXPECT_NE(json.find("\"train\":\"" + code_ + "\",\"date\":\"" + date_ + "\",\"seat\":\"" +
                      reinterpret_cast<const char*>(u8"二等座") + "\",\"passengers\":[\"" +
                      Utf8FromGbk(passenger_.passenger_name) + "\"],\"order_id\":\"" + order.orderId + "\""),
            std::string::npos)
      << json;

  const auto requests = hook.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/push");
  EXPECT_EQ(WithoutTime(requests[0].body), json);

  const std::string piped = FileText(commandFile);
  std::filesystem::remove(commandFile);
  EXPECT_EQ(std::count(piped.begin(), piped.end(), '\n'), 1) << piped;
  EXPECT_EQ(WithoutTime(piped), json + "\n");

  const auto shown = desktop.Received();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].urgency, 2);
  EXPECT_EQ(shown[0].summary, reinterpret_cast<const char*>(u8"订票成功，请尽快付款"));
  EXPECT_EQ(shown[0].body, Utf8FromGbk(code_ + ' ' + date_ + ' ' + G(u8"二等座") + '\n' + passenger_.passenger_name +
                                       '\n' + G(u8"订单号：") + order.orderId));
}

TEST_F(SessionNotifyTest, AWebhookThatNeverAnswersDoesNotHoldUpTheWorker) {
  ASSERT_TRUE(sim_.Running());
  RawHttpServer silent([](const RawRequest&, RawConnection& connection) { connection.Wait(60s); });
  NotifierSet notifiers;
  WebhookOptions webhook;
  webhook.url = silent.Url();  // ten seconds a try, three tries
  notifiers.Add(std::make_unique<WebhookNotifier>(webhook));

  Session session(Settings());
  SessionNotifier told(notifiers);
  BookingWatch watch;
  session.AddObserver(told);
  session.AddObserver(watch);
  BookOnce(session, watch);
  // The worker went on from the notifier to the next observer at once.
  EXPECT_LT(watch.ChainEndToReport(), 5s);
  EXPECT_TRUE(WaitUntil([&] { return silent.Requests().size() == 1; }, 10s));
  session.Close();
  const auto stopAt = Clock::now();
  notifiers.Stop();
  EXPECT_LT(Clock::now() - stopAt, 10s);  // bounded, although the try is still waiting
  session.RemoveObserver(watch);
  session.RemoveObserver(told);
}

TEST(SessionNotifier, TellsALapsedSignInOnceUntilTheNextSignIn) {
  std::mutex mutex;
  std::vector<NotifyEventKind> kinds;
  NotifierSet notifiers;
  notifiers.Add(std::make_unique<ScriptedNotifier>("record", [&](const NotifyEvent& event, std::stop_token) {
    std::lock_guard lock(mutex);
    kinds.push_back(event.kind);
    return DeliveryResult{DeliveryOutcome::kDelivered, {}};
  }));
  SessionNotifier told(notifiers);
  OrderReport manual;
  manual.train = "G1";
  for (int worker = 0; worker < 3; ++worker) told.OnSessionLapsed(SessionLapse{});
  told.OnOrderNeedsManualCheck(manual);
  told.OnSignedIn();
  told.OnSessionLapsed(SessionLapse{});
  told.OnGrabStarted(GrabStart{});  // nothing for the start of grabbing
  notifiers.Stop();
  std::lock_guard lock(mutex);
  EXPECT_EQ(kinds, (std::vector<NotifyEventKind>{NotifyEventKind::kSessionLapsed, NotifyEventKind::kManualCheck,
                                                 NotifyEventKind::kSessionLapsed}));
}

TEST(SessionNotifier, ALapseNamesThePageWhenThereIsOne) {
  std::mutex mutex;
  std::vector<std::optional<std::string>> pages;
  NotifierSet notifiers;
  notifiers.Add(std::make_unique<ScriptedNotifier>("record", [&](const NotifyEvent& event, std::stop_token) {
    std::lock_guard lock(mutex);
    pages.push_back(event.pageUrl);
    return DeliveryResult{DeliveryOutcome::kDelivered, {}};
  }));
  SessionNotifier told(notifiers);
  told.SetPageUrl("https://server:8765/");
  told.OnSessionLapsed(SessionLapse{});
  notifiers.Stop();
  std::lock_guard lock(mutex);
  EXPECT_EQ(pages, (std::vector<std::optional<std::string>>{"https://server:8765/"}));
}

}  // namespace
}  // namespace quillet::test
