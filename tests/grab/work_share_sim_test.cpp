// Party workers with a share of the work set (as a fleet member's are),
// against quillet-sim: they query only their share, hand on what they see
// when they may not order, order nothing when the wish's lock is held
// elsewhere, order a seat seen elsewhere without a query of their own, tell
// the share the outcome before anyone else hears of it, and end when the
// share says the wish ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "gbk.h"
#include "grab/grab_controller.h"
#include "grab/query_pacer.h"
#include "grab/work_share.h"
#include "net/cookies.h"
#include "recording_view.h"
#include "sim_support.h"
#include "ui/order_form.h"
#include "wait_until.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::G;

const std::string kQuery = service_paths::kLeftTicketQuery;
const std::string kSubmit = service_paths::kSubmitOrderRequest;

// A share whose answers the test sets.
class ScriptedShare : public WorkShare {
 public:
  ScriptedShare(bool queries, bool orders, bool lockTaken, test::RecordingView& view)
      : queries_(queries), orders_(orders), lockTaken_(lockTaken), view_(view) {}

  bool Queries(std::size_t, std::size_t, std::size_t) override { return queries_; }
  bool Orders(std::size_t) override { return orders_; }
  void Sighted(std::size_t, const SeenSeat& seen) override {
    std::lock_guard lock(mutex_);
    sightings_.push_back(seen);
  }
  std::optional<SeenSeat> NextSeenElsewhere(std::size_t, std::chrono::milliseconds wait,
                                            const std::stop_token& stop) override {
    std::unique_lock lock(mutex_);
    fedChanged_.wait_for(lock, stop, wait, [this] { return fed_.has_value(); });
    std::optional<SeenSeat> seat = std::move(fed_);
    fed_.reset();
    return seat;
  }
  OrderPermit BeforeOrder(std::size_t) override {
    std::lock_guard lock(mutex_);
    ++lockTries_;
    return lockTaken_ ? OrderPermit::kGranted : OrderPermit::kNotNow;
  }
  void AfterOrder(std::size_t, const GrabTask& task, const OrderOutcome& outcome) override {
    std::lock_guard lock(mutex_);
    outcomes_.push_back(outcome.kind);
    orderIds_.push_back(task.orderId);
    bookedBeforeRecord_ += static_cast<int>(view_.Booked().size());
  }
  std::stop_token WishEnded(std::size_t) override { return ended_.get_token(); }
  std::stop_token SeenElsewhereSignal(std::size_t) override {
    std::lock_guard lock(mutex_);
    if (!fed_ && fedSignal_.stop_requested()) fedSignal_ = std::stop_source();
    return fedSignal_.get_token();
  }

  void Feed(SeenSeat seat) {
    {
      std::lock_guard lock(mutex_);
      fed_ = std::move(seat);
      fedSignal_.request_stop();
    }
    fedChanged_.notify_all();
  }
  void EndWish() { ended_.request_stop(); }
  std::vector<SeenSeat> Sightings() const {
    std::lock_guard lock(mutex_);
    return sightings_;
  }
  std::vector<OrderOutcomeKind> Outcomes() const {
    std::lock_guard lock(mutex_);
    return outcomes_;
  }
  std::vector<std::string> OrderIds() const {
    std::lock_guard lock(mutex_);
    return orderIds_;
  }
  int LockTries() const {
    std::lock_guard lock(mutex_);
    return lockTries_;
  }
  int BookedBeforeRecord() const {
    std::lock_guard lock(mutex_);
    return bookedBeforeRecord_;
  }

 private:
  const bool queries_, orders_, lockTaken_;
  test::RecordingView& view_;
  std::stop_source ended_;
  mutable std::mutex mutex_;
  std::condition_variable_any fedChanged_;
  std::optional<SeenSeat> fed_;
  std::stop_source fedSignal_;  // stopped while fed_ holds a seat
  std::vector<SeenSeat> sightings_;
  std::vector<OrderOutcomeKind> outcomes_;
  std::vector<std::string> orderIds_;
  int lockTries_ = 0;
  int bookedBeforeRecord_ = 0;
};

class WorkShareSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Running());
    client.SetReuseConnections(false);
    ASSERT_TRUE(test::SignIn(client, sim, 3));
    const PassengersResult loaded = client.LoadPassengers();
    ASSERT_TRUE(loaded.Done());
    for (const PassengerRecord& p : loaded.passengers) {
      if (p.passenger_type == "1" && adult.passenger_name.empty()) adult = p;
    }
    const TrainsResult trains = client.QueryLeftTickets(false, date, "BJP", "SHH");
    ASSERT_TRUE(trains.Done());
    const auto found = std::find_if(trains.trains.begin(), trains.trains.end(), [](const TrainRecord& t) {
      return t.canWebBuy == "Y" && t.secondClassSeat != "--";
    });
    ASSERT_NE(found, trains.trains.end());
    train = *found;
  }

  OrderWish Wish() const {
    OrderWish wish =
        WishFromTaskRow(test::WishRow(train.stationTrainCode, date, adult, G(u8"成人票(1)"), G(u8"二等座| ,")));
    wish.choice = OrderWish::Choice::kParty;
    return wish;
  }

  std::size_t Count(const std::string& path) const { return test::RequestsTo(test::SimRequests(sim), path).size(); }

  test::SimProcess sim{{"--max-unpaid", "100", "--release-every", "0"}};
  CookieJar jar;
  BookingClient client{sim.BaseUrl(), jar};
  PassengerRecord adult;
  TrainRecord train;
  const std::string date = test::ChinaDate(3);
};

struct ShareCase {
  const char* what;
  bool queries, orders, lockTaken;
  bool expectQueries, expectSightings, expectLockTries;
};

TEST_F(WorkShareSimTest, WorkersKeepToTheirShareAndOrderOnlyWhenTheyMay) {
  const ShareCase cases[] = {
      {"no share of the wish", false, true, true, false, false, false},
      {"another member holds the account", true, false, true, true, true, false},
      {"the wish's order lock is held elsewhere", true, true, false, true, false, true},
  };
  sim.Release(date, train.stationTrainCode, "O", 5);
  for (const ShareCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t queriesBefore = Count(kQuery);
    test::RecordingView view;
    auto share = std::make_shared<ScriptedShare>(c.queries, c.orders, c.lockTaken, view);
    GrabController grab(client, view, test::ChinaDate(0), GrabPacing{300ms, 50ms, 100ms});
    grab.SetWorkShare(share);
    grab.StartGrabbing({Wish()});
    std::this_thread::sleep_for(800ms);
    grab.StopAndJoinAll();

    EXPECT_EQ(Count(kQuery) > queriesBefore, c.expectQueries);
    EXPECT_EQ(Count(kSubmit), 0u) << "ordered";
    EXPECT_TRUE(view.Booked().empty());
    EXPECT_EQ(share->LockTries() > 0, c.expectLockTries);
    const std::vector<SeenSeat> sightings = share->Sightings();
    EXPECT_EQ(!sightings.empty(), c.expectSightings);
    for (const SeenSeat& seen : sightings) {
      EXPECT_EQ(seen.date, date);
      EXPECT_EQ(seen.pair.from.telecode, "BJP");
      EXPECT_EQ(seen.train.stationTrainCode, train.stationTrainCode);
      EXPECT_FALSE(seen.train.secretStr.empty());
      EXPECT_EQ(seen.seatCode, "O");
    }
  }
}

TEST_F(WorkShareSimTest, ASeatSeenElsewhereIsOrderedAtOnceAndRecordedBeforeItIsTold) {
  sim.Release(date, train.stationTrainCode, "O", 1);
  const TrainsResult seen = client.QueryLeftTickets(false, date, "BJP", "SHH");
  const auto listed = std::find_if(seen.trains.begin(), seen.trains.end(),
                                   [&](const TrainRecord& t) { return t.stationTrainCode == train.stationTrainCode; });
  ASSERT_NE(listed, seen.trains.end());
  const std::size_t queriesBefore = Count(kQuery);

  test::RecordingView view;
  // No query of its own: the seat comes from elsewhere during the pause.
  auto share = std::make_shared<ScriptedShare>(false, true, true, view);
  GrabController grab(client, view, test::ChinaDate(0), GrabPacing{300ms, 5000ms, 100ms});
  grab.SetWorkShare(share);
  grab.StartGrabbing({Wish()});
  std::this_thread::sleep_for(200ms);  // the worker is in its long pause
  const auto fedAt = std::chrono::steady_clock::now();
  share->Feed({date, {Wish().from, Wish().to}, *listed, "O"});
  ASSERT_TRUE(test::WaitUntil([&] { return view.Booked().size() == 1; }, 15s)) << Utf8FromGbk(view.Log());
  EXPECT_LT(std::chrono::steady_clock::now() - fedAt, 4s) << "it waited for its pause to end";
  EXPECT_TRUE(test::WaitUntil([&] { return grab.RunningWorkerCount() == 0; }, 5s));
  grab.StopAndJoinAll();

  EXPECT_EQ(Count(kQuery), queriesBefore) << "the worker queried";
  EXPECT_EQ(share->Outcomes(), std::vector<OrderOutcomeKind>{OrderOutcomeKind::kBooked});
  ASSERT_EQ(share->OrderIds().size(), 1u);
  EXPECT_FALSE(share->OrderIds()[0].empty());
  EXPECT_EQ(share->OrderIds()[0], view.Booked()[0].orderId);
  EXPECT_EQ(share->BookedBeforeRecord(), 0) << "told before it was recorded";
  EXPECT_EQ(test::SimBookings(sim).size(), 1u);
}

TEST_F(WorkShareSimTest, ASeatSeenElsewhereWhileAQueryWaitsForItsMomentIsOrderedBeforeThatQuery) {
  sim.Release(date, train.stationTrainCode, "O", 0);
  test::RecordingView view;
  auto share = std::make_shared<ScriptedShare>(true, true, true, view);
  GrabController grab(client, view, test::ChinaDate(0), GrabPacing{300ms, 50ms, 100ms});
  grab.SetWorkShare(share);
  // One query every ten seconds: the second waits long for its moment.
  PacerSettings slow;
  slow.maxQueriesPerSecond = 0.1;
  grab.SetQueryPacer(std::make_shared<QueryPacer>(slow, nullptr, PacerReport{}));
  const std::size_t queriesBefore = Count(kQuery);
  grab.StartGrabbing({Wish()});
  ASSERT_TRUE(test::WaitUntil([&] { return view.AttemptCount() >= 2; }, 5s)) << "the second pass did not begin";

  sim.Release(date, train.stationTrainCode, "O", 1);
  const TrainsResult seen = client.QueryLeftTickets(false, date, "BJP", "SHH");
  const auto listed = std::find_if(seen.trains.begin(), seen.trains.end(),
                                   [&](const TrainRecord& t) { return t.stationTrainCode == train.stationTrainCode; });
  ASSERT_NE(listed, seen.trains.end());
  share->Feed({date, {Wish().from, Wish().to}, *listed, "O"});
  ASSERT_TRUE(test::WaitUntil([&] { return view.Booked().size() == 1; }, 8s)) << Utf8FromGbk(view.Log());
  EXPECT_TRUE(test::WaitUntil([&] { return grab.RunningWorkerCount() == 0; }, 5s));
  grab.StopAndJoinAll();
  EXPECT_EQ(Count(kQuery), queriesBefore + 2) << "the worker's first query and the test's own, no other";
  EXPECT_EQ(share->Outcomes(), std::vector<OrderOutcomeKind>{OrderOutcomeKind::kBooked});
}

TEST_F(WorkShareSimTest, AWishThatEndedElsewhereEndsItsWorker) {
  test::RecordingView view;
  auto share = std::make_shared<ScriptedShare>(true, true, true, view);
  GrabController grab(client, view, test::ChinaDate(0), GrabPacing{300ms, 5000ms, 100ms});
  grab.SetWorkShare(share);
  sim.Release(date, train.stationTrainCode, "O", 0);
  grab.StartGrabbing({Wish()});
  ASSERT_TRUE(test::WaitUntil([&] { return grab.RunningWorkerCount() == 1 && view.AttemptCount() >= 1; }, 5s));
  share->EndWish();
  EXPECT_TRUE(test::WaitUntil([&] { return grab.RunningWorkerCount() == 0; }, 2s));
  EXPECT_TRUE(view.Booked().empty());
  EXPECT_TRUE(view.ManualChecks().empty());
  grab.StopAndJoinAll();
}

}  // namespace
}  // namespace quillet
