// Grabbing end to end against quillet-sim: booking once tickets come back,
// the seat order, student tickets, the pacing, stopping and closing.
#include <gtest/gtest.h>

#include <algorithm>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "gbk.h"
#include "grab/grab_controller.h"
#include "net/cookies.h"
#include "recording_view.h"
#include "sim_support.h"
#include "wait_until.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::G;
using test::U8;

const std::string kQuery = service_paths::kLeftTicketQuery;
const std::string kSubmit = service_paths::kSubmitOrderRequest;
const std::string kCheckOrder = service_paths::kCheckOrderInfo;
const std::string kConfirm = service_paths::kConfirmSingleForQueue;
const std::string kWaitTime = service_paths::kOrderWaitTime;
const std::string kResult = service_paths::kOrderResult;

const GrabPacing kQuickPacing{500ms, 50ms, 100ms};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A line of the recording view's journal.
std::string BookedLine(const std::string& date, const std::string& train, const std::string& passenger) {
  return "booked " + date + " " + train + " " + passenger + "\n";
}

class GrabSimTest : public ::testing::Test {
 protected:
  explicit GrabSimTest(std::vector<std::string> simArgs = {"--max-unpaid", "100", "--release-every", "3600"})
      : sim(std::move(simArgs)) {}

  void SetUp() override {
    ASSERT_TRUE(sim.Running()) << "quillet-sim did not start";
    // The test thread keeps no idle connection, which would hold up the
    // service's shutdown; the workers reuse theirs (StartWorkers).
    client.SetReuseConnections(false);
    ASSERT_TRUE(test::SignIn(client, sim, 3));
    const PassengersResult loaded = client.LoadPassengers();
    ASSERT_TRUE(loaded.Done());
    const std::vector<PassengerRecord>& passengers = loaded.passengers;
    for (const PassengerRecord& p : passengers) {
      if (p.passenger_type == "1" && adult.passenger_name.empty()) adult = p;
      if (p.passenger_type == "3" && student.passenger_name.empty()) student = p;
    }
    ASSERT_FALSE(adult.passenger_name.empty());
    ASSERT_FALSE(student.passenger_name.empty());
  }

  // The first bookable train of the day between 北京 and 上海 that has both
  // first and second class.
  std::string HighSpeedTrain() {
    const TrainsResult result = client.QueryLeftTickets(false, date, "BJP", "SHH");
    EXPECT_TRUE(result.Done());
    const std::vector<TrainRecord>& trains = result.trains;
    for (const TrainRecord& train : trains) {
      if (train.canWebBuy == "Y" && train.firstClassSeat != "--" && train.secondClassSeat != "--") {
        return train.stationTrainCode;
      }
    }
    ADD_FAILURE() << "no train with first and second class";
    return {};
  }

  void StartWorkers(GrabController& grab, const test::RecordingView& view) {
    client.SetReuseConnections(true);
    grab.StartGrabbing(view.Wishes());
  }

  test::SimProcess sim;
  CookieJar jar;
  BookingClient client{sim.BaseUrl(), jar};
  PassengerRecord adult, student;
  const std::string date = test::ChinaDate(3);
};

TEST_F(GrabSimTest, WishOnSoldOutClassBooksOnceTicketsAreReleased) {
  const std::string train = HighSpeedTrain();
  sim.Release(date, train, "O", 0);
  test::RecordingView view({test::WishRow(train, date, adult, G(u8"成人票(1)"), G(u8"二等座| ,"))});
  GrabController grab(client, view, test::ChinaDate(0), kQuickPacing);
  StartWorkers(grab, view);
  ASSERT_TRUE(test::WaitUntil([&] { return view.AttemptCount() >= 3; }, 10s));
  EXPECT_TRUE(test::RequestsTo(test::SimRequests(sim), kCheckOrder).empty()) << "ordered a sold-out class";

  sim.Release(date, train, "O", 1);
  const std::string line = BookedLine(date, train, adult.passenger_name);
  ASSERT_TRUE(view.WaitForLog(line, 15s)) << Utf8FromGbk(view.Log());
  EXPECT_TRUE(test::WaitUntil([&] { return grab.RunningWorkerCount() == 0; }, 5s));
  EXPECT_EQ(view.Log(), "started\n" + line);

  const auto bookings = test::SimBookings(sim);
  ASSERT_EQ(bookings.size(), 1u);
  EXPECT_EQ(bookings[0].passengerName, Utf8FromGbk(adult.passenger_name));
  EXPECT_EQ(bookings[0].trainCode, train);
  EXPECT_EQ(bookings[0].trainDate, date);
  EXPECT_EQ(bookings[0].seatType, "O");
}

TEST_F(GrabSimTest, FirstClassSoldOutSecondClassIsTheOnlyOneOrdered) {
  const std::string train = HighSpeedTrain();
  sim.Release(date, train, "M", 0);
  sim.Release(date, train, "O", 3);
  test::RecordingView view({test::WishRow(train, date, adult, G(u8"成人票(1)"), G(u8"一等座| ,二等座| ,"))});
  GrabController grab(client, view, test::ChinaDate(0), kQuickPacing);
  StartWorkers(grab, view);
  ASSERT_TRUE(view.WaitForLog(BookedLine(date, train, adult.passenger_name), 15s)) << Utf8FromGbk(view.Log());
  grab.StopAndJoinAll();

  const auto orders = test::RequestsTo(test::SimRequests(sim), kCheckOrder);
  ASSERT_FALSE(orders.empty());
  for (const auto& order : orders) EXPECT_TRUE(Contains(order.body, "passengerTicketStr=O%2C")) << order.body;
  const auto bookings = test::SimBookings(sim);
  ASSERT_EQ(bookings.size(), 1u);
  EXPECT_EQ(bookings[0].seatType, "O");
}

TEST_F(GrabSimTest, StudentTicketQueriesAndOrdersWithTheStudentPurposeCode) {
  const std::string train = HighSpeedTrain();
  sim.Release(date, train, "O", 2);
  test::RecordingView view({test::WishRow(train, date, student, G(u8"学生票(3)"), G(u8"二等座| ,"))});
  GrabController grab(client, view, test::ChinaDate(0), kQuickPacing);
  StartWorkers(grab, view);
  ASSERT_TRUE(view.WaitForLog(BookedLine(date, train, student.passenger_name), 15s)) << Utf8FromGbk(view.Log());
  grab.StopAndJoinAll();

  const auto requests = test::SimRequests(sim);
  const auto queries = test::RequestsTo(requests, kQuery);
  const auto workerQueries = std::count_if(queries.begin(), queries.end(), [&](const test::SimRequest& q) {
    return Contains(q.query, "purpose_codes=0X00");
  });
  EXPECT_GE(workerQueries, 1);
  EXPECT_EQ(workerQueries + 1, static_cast<long>(queries.size()));  // the one other is HighSpeedTrain's
  const auto submits = test::RequestsTo(requests, kSubmit);
  ASSERT_EQ(submits.size(), 1u);
  EXPECT_TRUE(Contains(submits[0].body, "&purpose_codes=0X00&")) << submits[0].body;
  const auto bookings = test::SimBookings(sim);
  ASSERT_EQ(bookings.size(), 1u);
  EXPECT_EQ(bookings[0].passengerName, Utf8FromGbk(student.passenger_name));
  EXPECT_EQ(bookings[0].ticketType, "3");
}

// Gaps between the arrival times of consecutive requests, in milliseconds.
std::vector<double> Gaps(const std::vector<test::SimRequest>& requests) {
  std::vector<double> gaps;
  for (std::size_t i = 1; i < requests.size(); ++i) gaps.push_back(requests[i].t - requests[i - 1].t);
  return gaps;
}

TEST_F(GrabSimTest, PacingAfterAFailedQueryAndAfterAPassThatOrderedNothing) {
  const std::string train = HighSpeedTrain();
  sim.Release(date, train, "O", 0);
  const std::string outOfSale = test::ChinaDate(40);  // the service refuses to query it
  test::RecordingView view({test::WishRow(train, date, adult, G(u8"成人票(1)"), G(u8"二等座| ,")),
                            test::WishRow(train, outOfSale, adult, G(u8"成人票(1)"), G(u8"二等座| ,"))});
  GrabController grab(client, view, test::ChinaDate(0));  // the program's pacing
  StartWorkers(grab, view);
  std::this_thread::sleep_for(6500ms);
  grab.StopAndJoinAll();

  std::vector<test::SimRequest> idle, failed;
  for (const auto& query : test::RequestsTo(test::SimRequests(sim), kQuery)) {
    if (Contains(query.query, "train_date=" + outOfSale))
      failed.push_back(query);
    else if (Contains(query.query, "purpose_codes=ADULT"))
      idle.push_back(query);
  }
  idle.erase(idle.begin());  // HighSpeedTrain's own query
  // Receipt times differ from the worker's sleep by the exchange time only,
  // so each gap is at least the pause, and not far above it.
  const auto failedGaps = Gaps(failed);
  ASSERT_GE(failedGaps.size(), 1u);
  for (double gap : failedGaps) {
    EXPECT_GE(gap, 5000 - 1);
    EXPECT_LT(gap, 5000 + 500);
  }
  const auto idleGaps = Gaps(idle);
  ASSERT_GE(idleGaps.size(), 10u);
  for (double gap : idleGaps) {
    EXPECT_GE(gap, 200 - 1);
    EXPECT_LT(gap, 200 + 500);
  }
}

class GrabSimLatencyTest : public GrabSimTest {
 protected:
  GrabSimLatencyTest() : GrabSimTest({"--latency-ms", "150", "--max-unpaid", "100", "--release-every", "3600"}) {}
};

TEST_F(GrabSimLatencyTest, NoRequestLaterThanOneSecondAfterStop) {
  const std::string train = HighSpeedTrain();
  sim.Release(date, train, "O", 0);
  sim.Release(date, train, "M", 0);
  std::vector<test::TaskRow> rows;
  for (int i = 0; i < 4; ++i) rows.push_back(test::WishRow(train, date, adult, G(u8"成人票(1)"), G(u8"二等座| ,")));
  rows.push_back(test::WishRow("X9999", date, adult, G(u8"成人票(1)"), G(u8"一等座| ,")));
  rows.push_back(test::WishRow(train, test::ChinaDate(40), adult, G(u8"成人票(1)"), G(u8"一等座| ,")));
  test::RecordingView view(rows);
  GrabController grab(client, view, test::ChinaDate(0), {5000ms, 200ms, 2000ms});
  StartWorkers(grab, view);
  ASSERT_TRUE(test::WaitUntil([&] { return view.AttemptCount() >= 20; }, 20s));

  grab.StopGrabbing();
  std::this_thread::sleep_for(1s);
  // The service logs each request as it arrives; whatever the log gains from
  // here on arrived more than a second after the stop.
  const std::size_t loggedAtOneSecond = test::SimRequests(sim).size();
  ASSERT_LT(loggedAtOneSecond, 1500u) << "the service's log (2000 entries) could wrap";
  std::this_thread::sleep_for(2s);
  const auto later = test::SimRequests(sim);
  for (std::size_t i = loggedAtOneSecond; i < later.size(); ++i) {
    ADD_FAILURE() << "request more than a second after stop: " << later[i].path;
  }
  EXPECT_EQ(grab.RunningWorkerCount(), 0);
}

class GrabSimSlowServiceTest : public ::testing::Test {
 protected:
  test::SimProcess sim{{"--latency-ms", "4000"}};
  CookieJar jar;
  BookingClient client{sim.BaseUrl(), jar};
};

TEST_F(GrabSimSlowServiceTest, StopAndJoinAllEndsFiftyWorkersMidRequestWithinTwoSeconds) {
  ASSERT_TRUE(sim.Running());
  PassengerRecord passenger;
  passenger.passenger_name = G(u8"张三");
  passenger.passenger_type = "1";
  passenger.passenger_id_type_code = "1";
  passenger.passenger_id_no = "110101199001011234";
  const std::vector<test::TaskRow> rows(
      50, test::WishRow("G1", test::ChinaDate(3), passenger, G(u8"成人票(1)"), G(u8"二等座| ,")));
  test::RecordingView view(rows);
  GrabController grab(client, view, test::ChinaDate(0));
  grab.StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return view.AttemptCount() == 50; }, 10s));
  std::this_thread::sleep_for(500ms);  // every worker is now waiting for its answer

  const auto started = std::chrono::steady_clock::now();
  grab.StopAndJoinAll();
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_LT(took, 2s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
  EXPECT_EQ(grab.RunningWorkerCount(), 0);
  EXPECT_EQ(view.AttemptCount(), 50);  // no worker began a second attempt
}

}  // namespace
}  // namespace quillet
