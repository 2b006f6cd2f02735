// The session's status snapshot: what the recorder makes of grabbing's
// events, and a whole journey against quillet-sim read from another thread
// while the workers run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "gbk.h"
#include "session/session.h"
#include "sim_support.h"
#include "ui/order_form.h"
#include "wait_until.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::G;

OrderWish TwoDayWish() {
  OrderWish wish;
  wish.dates = {"2026-12-20", "2026-12-21"};
  wish.trains = {"G101", "G103"};
  wish.seatTypes = {"O", "M"};
  wish.passengers = {{G(u8"张伟"), "1", "1", "110101199001011234"}, {G(u8"李娜"), "1", "1", "110101199202022345"}};
  return wish;
}

OrderReport Report(std::size_t wishIndex, const std::string& orderId, const std::string& message) {
  OrderReport report;
  report.wishIndex = wishIndex;
  report.train = "G101";
  report.date = "2026-12-20";
  report.seatType = "O";
  report.seatName = G(u8"二等座");
  report.passengers = {G(u8"张伟")};
  report.orderId = orderId;
  report.message = message;
  return report;
}

TEST(SessionStatusRecorder, KeepsEachWishsCourseAsValues) {
  SessionStatusRecorder recorder;
  recorder.WishAdded(0, TwoDayWish());
  recorder.WishAdded(1, TwoDayWish());
  SessionStatus status;
  recorder.CopyInto(status);
  ASSERT_EQ(status.wishes.size(), 2u);
  EXPECT_EQ(status.wishes[1].index, 1u);
  EXPECT_EQ(status.wishes[0].dates, (std::vector<std::string>{"2026-12-20", "2026-12-21"}));
  EXPECT_EQ(status.wishes[0].trains, (std::vector<std::string>{"G101", "G103"}));
  EXPECT_EQ(status.wishes[0].seatTypes, (std::vector<std::string>{"O", "M"}));
  EXPECT_EQ(status.wishes[0].passengers, (std::vector<std::string>{G(u8"张伟"), G(u8"李娜")}));
  EXPECT_EQ(status.wishes[0].outcome, WishOutcome::kWaiting);
  EXPECT_FALSE(status.wishes[0].lastQuery);
  EXPECT_FALSE(status.wishes[0].nextQueryAt);

  const auto before = std::chrono::system_clock::now();
  const auto attempt = [](std::size_t wish, std::uint32_t n) { return GrabAttempt{wish, n, {}, {}}; };
  recorder.Started(2);
  recorder.Attempt(attempt(0, 1));
  recorder.QueryFailed(QueryFailure{0,
                                    "2026-12-21",
                                    ServiceResultKind::kRefused,
                                    AnswerVerdict{AnswerKind::kRefused, G(u8"系统繁忙")},
                                    G(u8"系统繁忙"),
                                    {},
                                    {}});
  recorder.Attempt(attempt(1, 1));
  recorder.Refused(Report(1, "", G(u8"余票不足！")));
  recorder.Attempt(attempt(1, 2));
  recorder.Booked(Report(1, "E123456789", G(u8"成功")));
  // A wish the session never listed gets no status, but a booking is never dropped.
  recorder.Attempt(attempt(7, 1));
  recorder.Booked(Report(7, "E7", ""));
  recorder.Stopped();
  const auto after = std::chrono::system_clock::now();

  recorder.CopyInto(status);
  ASSERT_EQ(status.wishes.size(), 2u);
  const WishStatus& first = status.wishes[0];
  EXPECT_EQ(first.attempts, 1u);
  ASSERT_TRUE(first.lastQuery);
  EXPECT_GE(first.lastQuery->at, before);
  EXPECT_LE(first.lastQuery->at, after);
  EXPECT_TRUE(first.lastQuery->failed);
  EXPECT_EQ(first.lastQuery->failedDate, "2026-12-21");
  EXPECT_EQ(first.lastQuery->reason, G(u8"系统繁忙"));
  EXPECT_EQ(first.lastQuery->kind, ServiceResultKind::kRefused);
  EXPECT_EQ(first.lastQuery->answer, (AnswerVerdict{AnswerKind::kRefused, G(u8"系统繁忙")}));
  EXPECT_FALSE(first.lastRefusal);
  EXPECT_EQ(first.outcome, WishOutcome::kStopped);
  EXPECT_FALSE(first.ending);

  const WishStatus& second = status.wishes[1];
  EXPECT_EQ(second.attempts, 2u);
  EXPECT_EQ(second.attemptsThisStart, 2u);
  ASSERT_TRUE(second.lastQuery);
  EXPECT_FALSE(second.lastQuery->failed) << "a new attempt starts a new query";
  ASSERT_TRUE(second.lastRefusal);
  EXPECT_EQ(second.lastRefusal->order.message, G(u8"余票不足！"));
  EXPECT_EQ(second.outcome, WishOutcome::kBooked) << "a stop leaves a booked wish booked";
  ASSERT_TRUE(second.ending);
  EXPECT_EQ(second.ending->order.orderId, "E123456789");

  ASSERT_EQ(status.bookings.size(), 2u);
  EXPECT_EQ(status.bookings[1].order.orderId, "E7");
  EXPECT_EQ(status.bookings[0].order.wishIndex, 1u);
  EXPECT_EQ(status.bookings[0].order.orderId, "E123456789");
  EXPECT_EQ(status.bookings[0].order.passengers, std::vector<std::string>{G(u8"张伟")});

  // A new start runs both wishes again; the earlier booking stays on the list,
  // and the attempts of the start count from its workers' first.
  recorder.Started(2);
  recorder.Attempt(attempt(1, 1));
  recorder.NeedsManualCheck(Report(0, "", G(u8"订单结果未知")));
  recorder.CopyInto(status);
  EXPECT_EQ(status.wishes[0].attemptsThisStart, 0u);
  EXPECT_EQ(status.wishes[1].attemptsThisStart, 1u);
  EXPECT_EQ(status.wishes[1].attempts, 3u);
  EXPECT_EQ(status.wishes[0].outcome, WishOutcome::kManualCheck);
  ASSERT_TRUE(status.wishes[0].ending);
  EXPECT_EQ(status.wishes[0].ending->order.message, G(u8"订单结果未知"));
  EXPECT_EQ(status.wishes[1].outcome, WishOutcome::kRunning);
  EXPECT_FALSE(status.wishes[1].ending);
  EXPECT_EQ(status.bookings.size(), 2u);
}

class SessionStatusTest : public ::testing::Test {
 protected:
  explicit SessionStatusTest(std::vector<std::string> simArgs = {"--max-unpaid", "1", "--release-every", "3600"})
      : sim_(std::move(simArgs)) {}

  SessionSettings Settings() const {
    SessionSettings settings;
    settings.service.address = sim_.BaseUrl();
    settings.referenceDate = test::ChinaDate(0);
    settings.pacing = {500ms, 50ms, 100ms};
    return settings;
  }

  // Signs in with the service's captcha read back, a few tries at most.
  bool SignIn(Session& session, const std::string& account, const std::string& password) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (session.FetchCaptcha().picture.empty()) continue;
      const std::string id = test::CookieValue(session.Client().Cookies().Text(), "JSESSIONID");
      if (session.SignIn(account, password, test::CaptchaAnswer(sim_.CaptchaCells(id))).Done()) return true;
    }
    return false;
  }

  test::SimProcess sim_;
};

// Reads the status in a loop on a thread of its own and checks that what it
// sees only ever moves forward.

TEST(SessionStatusRecorder, TheNextQueryIsKnownOnlyWhileTheWishPauses) {
  SessionStatusRecorder recorder;
  recorder.WishAdded(0, TwoDayWish());
  const EventMoment next = EventMomentNow() + std::chrono::milliseconds(3000);
  const auto nextOf = [&recorder] {
    SessionStatus status;
    recorder.CopyInto(status);
    return status.wishes.at(0).nextQueryAt;
  };
  recorder.NextQueryAt(NextQuery{0, next});
  EXPECT_FALSE(nextOf()) << "told before a start took the wish";
  recorder.NextQueryAt(NextQuery{7, next});  // an index the session never listed

  // Each way a pause ends forgets its moment.
  const std::vector<std::pair<const char*, std::function<void()>>> endings = {
      {"the next pass",
       [&] {
         recorder.Attempt(GrabAttempt{0, 2, {}, {}});
       }},
      {"a stop", [&] { recorder.Stopped(); }},
      {"a booking", [&] { recorder.Booked(Report(0, "E1", G(u8"订票成功"))); }},
      {"a manual check", [&] { recorder.NeedsManualCheck(Report(0, "", G(u8"请到12306查看"))); }},
  };
  for (const auto& [ending, end] : endings) {
    recorder.Started(1);
    recorder.Attempt(GrabAttempt{0, 1, {}, {}});
    EXPECT_FALSE(nextOf()) << ending << ": a pass runs";
    recorder.NextQueryAt(NextQuery{0, next});
    ASSERT_TRUE(nextOf()) << ending;
    EXPECT_EQ(*nextOf(), next) << ending;
    end();
    EXPECT_FALSE(nextOf()) << ending;
    recorder.NextQueryAt(NextQuery{0, next});  // a worker that has not seen the end yet
    if (std::string(ending) != "the next pass") {
      EXPECT_FALSE(nextOf()) << ending << ": after the end";
    }
  }
}

class StatusReader {
 public:
  explicit StatusReader(const Session& session)
      : thread_([this, &session](std::stop_token stop) { Run(session, stop); }) {}

  // Stops the reader; the faults it saw, one per line.
  std::string Finish() {
    thread_.request_stop();
    thread_.join();
    return faults_;
  }
  int Reads() const { return reads_.load(); }

 private:
  void Run(const Session& session, const std::stop_token& stop) {
    std::vector<std::uint64_t> attempts;
    std::size_t bookings = 0;
    while (!stop.stop_requested()) {
      const SessionStatus status = session.Status();
      ++reads_;
      if (status.wishes.size() < attempts.size()) faults_ += "the wish list shrank\n";
      attempts.resize(std::max(attempts.size(), status.wishes.size()), 0);
      for (const WishStatus& wish : status.wishes) {
        if (wish.attempts < attempts[wish.index]) faults_ += "attempts went back\n";
        attempts[wish.index] = wish.attempts;
      }
      if (status.bookings.size() < bookings) faults_ += "a booking vanished\n";
      bookings = status.bookings.size();
      if (status.signedIn && !status.signedInSince) faults_ += "signed in since no moment\n";
    }
  }

  std::string faults_;
  std::atomic<int> reads_{0};
  std::jthread thread_;
};

// Two wishes for the same train and an account that may hold one unpaid
// order: one wish books; the other's orders are refused (its order token
// spent by the first's, or the unpaid order), and the unpaid order's
// refusal makes it a manual check unless the stop comes first.
TEST_F(SessionStatusTest, AJourneyReadFromAnotherThreadWhileTheWorkersRun) {
  ASSERT_TRUE(sim_.Running());
  Session session(Settings());
  StatusReader reader(session);
  EXPECT_FALSE(session.Status().signedIn);
  EXPECT_EQ(session.Status().account, "");

  const auto beforeSignIn = std::chrono::system_clock::now();
  ASSERT_TRUE(SignIn(session, "demo", "demo1234"));
  const auto afterSignIn = std::chrono::system_clock::now();
  ASSERT_TRUE(session.LoadPassengers().Done());
  const std::vector<PassengerRecord> passengers = session.Passengers();
  ASSERT_GE(passengers.size(), 2u);

  const std::string date = test::ChinaDate(3);
  const TrainsResult trains = session.QueryTrains(false, date, "BJP", "SHH");
  ASSERT_TRUE(trains.Done());
  const auto train = std::find_if(trains.trains.begin(), trains.trains.end(),
                                  [](const TrainRecord& t) { return t.canWebBuy == "Y" && t.secondClassSeat != "--"; });
  ASSERT_NE(train, trains.trains.end());
  const std::string code = train->stationTrainCode;
  for (std::size_t i = 0; i < 2; ++i) {
    session.AddWish(WishFromTaskRow(test::WishRow(code, date, passengers[i], G(u8"成人票(1)"), G(u8"二等座| ,"))));
  }
  EXPECT_EQ(session.Status().wishes.at(1).outcome, WishOutcome::kWaiting);

  sim_.Release(date, Utf8FromGbk(code), "O", 5);
  session.StartGrabbing();
  // The other wish's order is refused: told as a refusal, or as a manual
  // check when the refusal names the unpaid order.
  const auto refusedAndBooked = [&] {
    const SessionStatus status = session.Status();
    return status.bookings.size() == 1 &&
           std::any_of(status.wishes.begin(), status.wishes.end(), [](const WishStatus& w) {
             return w.lastRefusal.has_value() || w.outcome == WishOutcome::kManualCheck;
           });
  };
  ASSERT_TRUE(test::WaitUntil(refusedAndBooked, 30s));
  const SessionStatus running = session.Status();
  session.StopGrabbing();
  session.Close();
  const SessionStatus status = session.Status();
  const std::string faults = reader.Finish();
  EXPECT_EQ(faults, "");
  EXPECT_GT(reader.Reads(), 0);

  EXPECT_EQ(status.account, "demo");
  EXPECT_TRUE(status.signedIn);
  ASSERT_TRUE(status.signedInSince);
  EXPECT_GE(*status.signedInSince, beforeSignIn);
  EXPECT_LE(*status.signedInSince, afterSignIn);

  ASSERT_EQ(status.bookings.size(), 1u);
  const OrderReport& booked = status.bookings[0].order;
  ASSERT_LT(booked.wishIndex, 2u);
  EXPECT_EQ(booked.train, code);
  EXPECT_EQ(booked.date, date);
  EXPECT_EQ(booked.seatType, "O");
  EXPECT_EQ(booked.passengers, std::vector<std::string>{passengers[booked.wishIndex].passenger_name});
  EXPECT_FALSE(booked.orderId.empty());
  EXPECT_NE(sim_.State().find(booked.orderId), std::string::npos);

  ASSERT_EQ(status.wishes.size(), 2u);
  const WishStatus& bookedWish = status.wishes[booked.wishIndex];
  const WishStatus& refusedWish = status.wishes[1 - booked.wishIndex];
  EXPECT_EQ(bookedWish.outcome, WishOutcome::kBooked);
  ASSERT_TRUE(bookedWish.ending);
  EXPECT_EQ(bookedWish.ending->order.orderId, booked.orderId);
  const WishOutcome whileRunning = running.wishes.at(refusedWish.index).outcome;
  EXPECT_TRUE(whileRunning == WishOutcome::kRunning || whileRunning == WishOutcome::kManualCheck);
  if (refusedWish.outcome == WishOutcome::kManualCheck) {
    ASSERT_TRUE(refusedWish.ending);
  } else {
    EXPECT_EQ(refusedWish.outcome, WishOutcome::kStopped);
    EXPECT_FALSE(refusedWish.ending);
  }
  const std::optional<StatusOrder>& refusal = refusedWish.lastRefusal ? refusedWish.lastRefusal : refusedWish.ending;
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->order.train, code);
  EXPECT_EQ(refusal->order.passengers, std::vector<std::string>{passengers[refusedWish.index].passenger_name});
  EXPECT_FALSE(refusal->order.message.empty());
  for (const WishStatus& wish : status.wishes) {
    EXPECT_EQ(wish.dates, std::vector<std::string>{date});
    EXPECT_EQ(wish.trains, std::vector<std::string>{code});
    EXPECT_EQ(wish.seatTypes, std::vector<std::string>{"O"});
    EXPECT_GE(wish.attempts, 1u);
    ASSERT_TRUE(wish.lastQuery);
    EXPECT_GE(wish.lastQuery->at, afterSignIn);
  }
}

class TwoSessionsTest : public SessionStatusTest {
 protected:
  TwoSessionsTest() : SessionStatusTest({"--account", "alice:alice1234", "--account", "bob:bob12345"}) {}
};

TEST_F(TwoSessionsTest, EachSnapshotCarriesItsOwnAccount) {
  ASSERT_TRUE(sim_.Running());
  SessionSettings planned = Settings();
  planned.account = "bob";
  Session alice(Settings());
  Session bob(planned);
  EXPECT_EQ(alice.Status().account, "");
  EXPECT_EQ(bob.Status().account, "bob") << "a plan's account is known before the sign-in";
  EXPECT_FALSE(bob.Status().signedIn);

  bool aliceIn = false;
  bool bobIn = false;
  {
    std::jthread first([&] { aliceIn = SignIn(alice, "alice", "alice1234"); });
    std::jthread second([&] { bobIn = SignIn(bob, "bob", "bob12345"); });
  }
  ASSERT_TRUE(aliceIn);
  ASSERT_TRUE(bobIn);
  OrderWish wish = TwoDayWish();
  alice.AddWish(wish);
  const SessionStatus a = alice.Status();
  const SessionStatus b = bob.Status();
  EXPECT_EQ(a.account, "alice");
  EXPECT_EQ(b.account, "bob");
  EXPECT_TRUE(a.signedIn);
  EXPECT_TRUE(b.signedIn);
  EXPECT_EQ(a.wishes.size(), 1u);
  EXPECT_TRUE(b.wishes.empty());
}

// Keeps the accounts and moments of the orders a session tells.
class OrderAccounts : public SessionObserver {
 public:
  void OnOrderBooked(const OrderReport& order) override { Add(order); }
  void OnOrderRefused(const OrderReport& order) override { Add(order); }
  void OnOrderNeedsManualCheck(const OrderReport& order) override { Add(order); }
  std::vector<OrderReport> Orders() const {
    std::lock_guard lock(mutex_);
    return orders_;
  }
  bool Booked() const {
    std::lock_guard lock(mutex_);
    return std::any_of(orders_.begin(), orders_.end(),
                       [](const OrderReport& o) { return o.outcome == OrderOutcomeKind::kBooked; });
  }

 private:
  void Add(const OrderReport& order) {
    std::lock_guard lock(mutex_);
    orders_.push_back(order);
  }
  mutable std::mutex mutex_;
  std::vector<OrderReport> orders_;
};

// Two sessions in one process grab at once; every order either tells
// carries its own account and its moment.
TEST_F(TwoSessionsTest, EachSessionsEventsCarryItsOwnAccount) {
  ASSERT_TRUE(sim_.Running());
  Session alice(Settings());
  Session bob(Settings());
  OrderAccounts aliceOrders;
  OrderAccounts bobOrders;
  alice.AddObserver(aliceOrders);
  bob.AddObserver(bobOrders);
  ASSERT_TRUE(SignIn(alice, "alice", "alice1234"));
  ASSERT_TRUE(SignIn(bob, "bob", "bob12345"));
  ASSERT_TRUE(alice.LoadPassengers().Done());
  ASSERT_TRUE(bob.LoadPassengers().Done());

  const std::string date = test::ChinaDate(3);
  const TrainsResult trains = alice.QueryTrains(false, date, "BJP", "SHH");
  ASSERT_TRUE(trains.Done());
  const auto train = std::find_if(trains.trains.begin(), trains.trains.end(),
                                  [](const TrainRecord& t) { return t.canWebBuy == "Y" && t.secondClassSeat != "--"; });
  ASSERT_NE(train, trains.trains.end());
  const std::string code = train->stationTrainCode;
  for (Session* session : {&alice, &bob}) {
    session->AddWish(
        WishFromTaskRow(test::WishRow(code, date, session->Passengers().at(0), G(u8"成人票(1)"), G(u8"二等座| ,"))));
  }
  sim_.Release(date, Utf8FromGbk(code), "O", 5);
  const auto before = std::chrono::system_clock::now();
  alice.StartGrabbing();
  bob.StartGrabbing();
  const bool booked = test::WaitUntil([&] { return aliceOrders.Booked() && bobOrders.Booked(); }, 30s);
  alice.Close();
  bob.Close();
  alice.RemoveObserver(aliceOrders);
  bob.RemoveObserver(bobOrders);
  ASSERT_TRUE(booked);
  for (const auto& [orders, account] : {std::pair{aliceOrders.Orders(), "alice"}, {bobOrders.Orders(), "bob"}}) {
    ASSERT_FALSE(orders.empty());
    for (const OrderReport& order : orders) {
      EXPECT_EQ(order.account, account);
      EXPECT_GE(order.at, std::chrono::floor<std::chrono::milliseconds>(before));
    }
  }
  EXPECT_EQ(alice.Status().bookings.at(0).order.account, "alice");
  EXPECT_EQ(bob.Status().bookings.at(0).order.account, "bob");
}

}  // namespace
}  // namespace quillet
