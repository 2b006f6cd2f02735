// The session against quillet-sim: sign-in, passengers, a query, a wish and
// grabbing, as its observers are told them.
#include "session/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gbk.h"
#include "sim_support.h"
#include "ui/order_form.h"
#include "wait_until.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::G;

// Every event as one line, in the order told; safe from any thread.
class RecordingObserver : public SessionObserver {
 public:
  void OnSignedIn() override { Add("signed in"); }
  void OnPassengersLoaded(const std::vector<PassengerRecord>& passengers) override {
    Add("passengers " + std::to_string(passengers.size()));
  }
  void OnWishAdded(std::size_t index, const OrderWish& wish) override {
    Add("wish " + std::to_string(index) + " " + wish.trains.at(0));
  }
  void OnQueryResult(const TrainsResult& result) override { Add(result.Done() ? "query done" : "query failed"); }
  void OnGrabStarted(const GrabStart&) override { Add("started"); }
  void OnGrabAttempt(const GrabAttempt&) override { ++attempts_; }
  void OnOrderBooked(const OrderReport& order) override {
    {
      std::lock_guard lock(mutex_);
      booked_.push_back(order);
    }
    Add("booked");
  }
  void OnOrderNeedsManualCheck(const OrderReport&) override { Add("manual check"); }
  void OnGrabStopped(const GrabStop& stop) override { Add("stopped" + Stamp(stop.at, stop.account)); }
  void OnGrabMayStartAgain() override { Add("may start again"); }
  void OnSessionLapsed(const SessionLapse& lapse) override { Add("lapsed" + Stamp(lapse.at, lapse.account)); }

  std::vector<std::string> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<OrderReport> Booked() const {
    std::lock_guard lock(mutex_);
    return booked_;
  }
  bool WaitFor(const std::string& event, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return Index(event) >= 0; });
  }
  // Position of the first event that begins with `prefix`, or -1.
  int Index(const std::string& prefix) const {
    for (std::size_t i = 0; i < events_.size(); ++i)
      if (events_[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    return -1;
  }
  int Attempts() const { return attempts_; }

 private:
  // " <account>" for an event the session stamped with its moment and account.
  static std::string Stamp(EventMoment at, const std::string& account) {
    return at == EventMoment{} ? " unstamped" : " " + account;
  }
  void Add(std::string event) {
    {
      std::lock_guard lock(mutex_);
      events_.push_back(std::move(event));
    }
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  std::vector<OrderReport> booked_;
  std::atomic<int> attempts_{0};
};

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : sim_({"--max-unpaid", "100", "--release-every", "3600"}) {}

  SessionSettings Settings() const {
    SessionSettings settings;
    settings.service.address = sim_.BaseUrl();
    settings.referenceDate = test::ChinaDate(0);
    settings.pacing = {500ms, 50ms, 100ms};
    return settings;
  }

  // The captcha the service shows this session, answered right (or wrongly).
  ServiceResult SignIn(Session& session, bool rightAnswer = true) {
    if (session.FetchCaptcha().picture.empty()) return {};
    const std::string id = test::CookieValue(session.Client().Cookies().Text(), "JSESSIONID");
    std::vector<int> cells = sim_.CaptchaCells(id);
    if (!rightAnswer) std::transform(cells.begin(), cells.end(), cells.begin(), [](int c) { return c % 8 + 1; });
    return session.SignIn("demo", "demo1234", test::CaptchaAnswer(cells));
  }

  test::SimProcess sim_;
};

// The program's today is the service's: in a zone behind China, at a moment
// when China has already begun the next day, the reference date is China's.
TEST(SessionReferenceDate, IsTodayInChinaWhateverTheMachinesZone) {
  const char* zoneBefore = std::getenv("TZ");
  const std::string savedZone = zoneBefore ? zoneBefore : "";
  ::setenv("TZ", "America/Los_Angeles", 1);
  ::tzset();
  // 2026-12-10 18:30 in Los Angeles is 2026-12-11 10:30 in China.
  const auto moment = std::chrono::system_clock::time_point(std::chrono::seconds(1'796'956'200));
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  SessionSettings settings;
  settings.service.address = "http://127.0.0.1:9";
  settings.now = [moment] { return moment; };
  const Session session(settings);
  const std::string reference = session.ReferenceDate();
  if (zoneBefore) {
    ::setenv("TZ", savedZone.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
  EXPECT_EQ(local.tm_mday, 10) << "the machine's own date is still the 10th";
  EXPECT_EQ(reference, "2026-12-11");
}

TEST_F(SessionTest, ObserversHearTheJourneyInOrder) {
  ASSERT_TRUE(sim_.Running());
  Session session(Settings());
  RecordingObserver first, second;
  session.AddObserver(first);
  session.AddObserver(second);
  EXPECT_EQ(session.ReferenceDate(), test::ChinaDate(0));

  const ServiceResult refused = SignIn(session, false);
  EXPECT_EQ(refused.kind, ServiceResultKind::kCaptchaRefused);
  EXPECT_FALSE(session.SignedIn());
  ServiceResult signedIn;
  for (int attempt = 0; attempt < 3 && !signedIn.Done(); ++attempt) signedIn = SignIn(session);
  ASSERT_TRUE(signedIn.Done());
  EXPECT_TRUE(session.SignedIn());

  ASSERT_TRUE(session.LoadPassengers().Done());
  const std::vector<PassengerRecord> passengers = session.Passengers();
  ASSERT_EQ(passengers.size(), 4u);
  const PassengerRecord adult = passengers[0];
  ASSERT_EQ(adult.passenger_type, "1");

  const std::string date = test::ChinaDate(3);
  const TrainsResult trains = session.QueryTrains(false, date, "BJP", "SHH");
  ASSERT_TRUE(trains.Done());
  const auto train = std::find_if(trains.trains.begin(), trains.trains.end(),
                                  [](const TrainRecord& t) { return t.canWebBuy == "Y" && t.secondClassSeat != "--"; });
  ASSERT_NE(train, trains.trains.end());
  const std::string code = train->stationTrainCode;

  const OrderWish wish = WishFromTaskRow(test::WishRow(code, date, adult, G(u8"成人票(1)"), G(u8"二等座| ,")));
  EXPECT_EQ(session.AddWish(wish), 0u);
  ASSERT_EQ(session.Wishes().size(), 1u);
  EXPECT_EQ(session.Wishes()[0].seatTypes, std::vector<std::string>{"O"});

  sim_.Release(date, Utf8FromGbk(code), "O", 3);
  session.StartGrabbing();
  ASSERT_TRUE(first.WaitFor("booked", 20s));
  ASSERT_TRUE(second.WaitFor("booked", 1s));
  session.StopGrabbing();

  for (RecordingObserver* observer : {&first, &second}) {
    const std::vector<std::string> events = observer->Events();
    SCOPED_TRACE(testing::PrintToString(events));
    // A second-class booking does not give the start button back; the stop does.
    const std::vector<std::string> journey = {"signed in", "passengers 4", "query done", "wish 0 " + code,
                                              "started",   "booked",       "stopped",    "may start again"};
    int previous = -1;
    for (const std::string& event : journey) {
      const int at = observer->Index(event);
      EXPECT_GT(at, previous) << event;
      previous = at;
    }
    EXPECT_EQ(std::count(events.begin(), events.end(), "signed in"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "may start again"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "stopped demo"), 1);
    EXPECT_GE(observer->Attempts(), 1);
  }

  ASSERT_EQ(first.Booked().size(), 1u);
  const OrderReport booked = first.Booked()[0];
  EXPECT_EQ(booked.wishIndex, 0u);
  EXPECT_EQ(booked.train, code);
  EXPECT_EQ(booked.date, date);
  EXPECT_EQ(booked.seatType, "O");
  EXPECT_EQ(booked.seatName, G(u8"二等座"));
  EXPECT_EQ(booked.passengers, std::vector<std::string>{adult.passenger_name});
  EXPECT_FALSE(booked.orderId.empty());
  EXPECT_NE(sim_.State().find(booked.orderId), std::string::npos);

  session.Close();
  EXPECT_EQ(session.RunningWorkerCount(), 0);
  session.RemoveObserver(first);
  session.RemoveObserver(second);
}

TEST_F(SessionTest, AStartTakesTheWishesOfItsMomentAndCloseEndsEveryWorker) {
  ASSERT_TRUE(sim_.Running());
  Session session(Settings());
  RecordingObserver observer;
  session.AddObserver(observer);
  session.StartGrabbing();  // no wishes: no worker, only the start
  ASSERT_TRUE(observer.WaitFor("started", 5s));
  EXPECT_EQ(session.RunningWorkerCount(), 0);

  PassengerRecord passenger;
  passenger.passenger_name = G(u8"张伟");
  passenger.passenger_type = "1";
  const std::string date = test::ChinaDate(3);
  session.AddWish(WishFromTaskRow(test::WishRow("X9999", date, passenger, G(u8"成人票(1)"), G(u8"二等座| ,"))));
  session.StartGrabbing();
  ASSERT_TRUE(test::WaitUntil([&] { return observer.Attempts() >= 2; }, 10s));
  EXPECT_EQ(session.RunningWorkerCount(), 1);
  const auto closedAt = std::chrono::steady_clock::now();
  session.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - closedAt, 2s);
  EXPECT_EQ(session.RunningWorkerCount(), 0);
  session.StartGrabbing();  // refused once closed
  EXPECT_EQ(session.RunningWorkerCount(), 0);
  session.RemoveObserver(observer);
}

// A session the service forgets while a party wish waits for tickets: the
// worker reports it once, waits, and books after the next sign-in.
TEST(SessionLapseTest, APartyWorkerWaitsForTheNextSignInAndThenBooks) {
  test::SimProcess sim({"--session-ttl", "1", "--release-every", "0", "--max-unpaid", "100"});
  ASSERT_TRUE(sim.Running());
  SessionSettings settings;
  settings.service.address = sim.BaseUrl();
  // An idle pass longer than the service keeps a quiet session.
  settings.pacing = {500ms, 1500ms, 100ms};
  Session session(settings);
  RecordingObserver observer;
  session.AddObserver(observer);
  const auto signIn = [&] {
    if (session.FetchCaptcha().picture.empty()) return false;
    const std::string id = test::CookieValue(session.Client().Cookies().Text(), "JSESSIONID");
    return session.SignIn("demo", "demo1234", test::CaptchaAnswer(sim.CaptchaCells(id))).Done();
  };
  ASSERT_TRUE(signIn());
  ASSERT_TRUE(session.LoadPassengers().Done());
  const std::vector<PassengerRecord> passengers = session.Passengers();
  ASSERT_GE(passengers.size(), 2u);

  const std::string date = test::ChinaDate(3);
  const TrainsResult trains = session.QueryTrains(false, date, "BJP", "SHH");
  ASSERT_TRUE(trains.Done());
  const auto train = std::find_if(trains.trains.begin(), trains.trains.end(),
                                  [](const TrainRecord& t) { return t.canWebBuy == "Y" && t.secondClassSeat != "--"; });
  ASSERT_NE(train, trains.trains.end());
  const std::string code = Utf8FromGbk(train->stationTrainCode);
  sim.Release(date, code, "O", 0);

  OrderWish wish;
  wish.choice = OrderWish::Choice::kParty;
  wish.trains = {train->stationTrainCode};
  wish.dates = {date};
  wish.from = {G(u8"北京"), "BJP"};
  wish.to = {G(u8"上海"), "SHH"};
  for (std::size_t i = 0; i < 2; ++i) {
    const PassengerRecord& p = passengers[i];
    wish.passengers.push_back({p.passenger_name, p.passenger_type, p.passenger_id_type_code, p.passenger_id_no});
  }
  wish.ticketType = "1";
  wish.seatTypes = {"O"};
  session.AddWish(wish);
  session.StartGrabbing();

  // The second pass comes after the service has forgotten the session.
  ASSERT_TRUE(test::WaitUntil([&] { return observer.Attempts() >= 2; }, 20s));
  sim.Release(date, code, "O", 2);
  ASSERT_TRUE(observer.WaitFor("lapsed", 20s));
  EXPECT_FALSE(session.SignedIn());
  const int attemptsWhenLapsed = observer.Attempts();
  std::this_thread::sleep_for(2s);  // longer than two passes
  EXPECT_EQ(observer.Attempts(), attemptsWhenLapsed) << "the worker waits instead of trying on";
  EXPECT_EQ(observer.Index("booked"), -1);

  ASSERT_TRUE(signIn());
  ASSERT_TRUE(observer.WaitFor("booked", 20s));
  const std::vector<OrderReport> booked = observer.Booked();
  ASSERT_EQ(booked.size(), 1u);
  EXPECT_EQ(booked[0].passengers,
            (std::vector<std::string>{passengers[0].passenger_name, passengers[1].passenger_name}));
  const std::vector<std::string> events = observer.Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "lapsed demo"), 1);
  session.Close();
  session.RemoveObserver(observer);
}

}  // namespace
}  // namespace quillet
