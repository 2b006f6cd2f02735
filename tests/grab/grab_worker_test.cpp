// Grab workers against a scripted service: the attempt loop, the seat order,
// the log lines, the start button, and stopping.
#include <gtest/gtest.h>

#include <set>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "fake_service.h"
#include "gbk.h"
#include "grab/grab_controller.h"
#include "net/cookies.h"
#include "recording_view.h"
#include "wait_until.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::G;
using test::TaskRow;

const std::string kQuery = service_paths::kLeftTicketQuery;
const std::string kSubmit = service_paths::kSubmitOrderRequest;
const std::string kCheckOrder = service_paths::kCheckOrderInfo;
const std::string kQueueCount = service_paths::kQueueCount;
const std::string kConfirm = service_paths::kConfirmSingleForQueue;
const std::string kWaitTime = service_paths::kOrderWaitTime;
const std::string kResult = service_paths::kOrderResult;

// Short pacing keeps these tests quick; the real pacing is measured against quillet-sim.
const GrabPacing kQuickPacing{100ms, 50ms, 20ms};

TaskRow Row(const std::string& train, std::u8string_view seatOrder, std::u8string_view passenger = u8"张三(成人[1])") {
  return {train,
          G(u8"北京|BJP"),
          G(u8"上海|SHH"),
          "2026-12-14",
          G(passenger),
          G(u8"成人票(1)"),
          G(u8"二代身份证[1](110101199001011234)"),
          G(seatOrder)};
}

// Lines of the recording view's journal.
std::string BookedLine(const std::string& train, std::u8string_view passenger = u8"张三") {
  return "booked 2026-12-14 " + train + " " + G(passenger) + "\n";
}
std::string ManualLine(const std::string& train) { return "manual 2026-12-14 " + train + " " + G(u8"张三") + "\n"; }
std::string Started() { return "started\n"; }

// The seat type code a checkOrderInfo body orders: the first piece of its
// encoded passengerTicketStr.
std::string OrderedSeat(const test::FakeService::Request& request) {
  const std::string key = "passengerTicketStr=";
  const auto at = request.body.find(key);
  if (at == std::string::npos) return "?";
  return request.body.substr(at + key.size(), request.body.find("%2C", at) - at - key.size());
}

class GrabWorkerTest : public ::testing::Test {
 protected:
  void Answer(const std::vector<std::string>& trains) { service.SetText(kQuery, test::FakeQueryAnswer(trains)); }
  std::unique_ptr<GrabController> Controller(test::RecordingView& view, GrabPacing pacing = kQuickPacing) {
    return std::make_unique<GrabController>(client, view, "2026-12-10", pacing);
  }

  test::FakeService service;
  CookieJar jar;
  BookingClient client{service.BaseUrl(), jar};
};

TEST_F(GrabWorkerTest, EmptyTaskListStillAnnouncesTheStartAndLeavesTheButtonToStop) {
  test::RecordingView view;
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(view.WaitForLog(Started(), 5s));
  EXPECT_EQ(view.Log(), Started());
  EXPECT_EQ(grab->RunningWorkerCount(), 0);
  EXPECT_EQ(view.Stops(), 0);
  grab->StopGrabbing();
  EXPECT_EQ(view.Stops(), 1);
  EXPECT_TRUE(service.Requests().empty());
}

TEST_F(GrabWorkerTest, SoldOutClassesAreSkippedAndOnlyTheFirstMatchingTrainCounts) {
  // "无" and "--" count as none left; any other text, even an empty one, as tickets.
  Answer({test::FakeTrainText("K1", "BJP", "SHH", {{"3", test::U8(u8"无")}, {"4", "--"}, {"1", ""}, {"O", "12"}}),
          test::FakeTrainText("K1", "BJP", "SHH", {{"3", "9"}})});
  test::RecordingView view({Row("K1", u8"硬卧| ,软卧| ,无座| ,硬座| ,二等座| ,")});
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(view.WaitForLog(BookedLine("K1"), 5s)) << Utf8FromGbk(view.Log());
  ASSERT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 5s));

  const auto orders = service.RequestsTo(kCheckOrder);
  ASSERT_EQ(orders.size(), 1u);
  EXPECT_EQ(OrderedSeat(orders[0]), "1");
  EXPECT_EQ(service.RequestsTo(kQuery).size(), 1u);
  EXPECT_EQ(view.Log(), Started() + BookedLine("K1"));
  EXPECT_EQ(view.LastAttempt().attempt, 1u);
  EXPECT_EQ(view.AttemptCount(), 1);
  ASSERT_EQ(view.Booked().size(), 1u);
  const OrderReport booked = view.Booked()[0];
  EXPECT_EQ(booked.wishIndex, 0u);
  EXPECT_EQ(booked.train, "K1");
  EXPECT_EQ(booked.date, "2026-12-14");
  EXPECT_EQ(booked.seatType, "1");
  EXPECT_EQ(booked.seatName, G(u8"硬座"));
  EXPECT_EQ(booked.passengers, std::vector<std::string>{G(u8"张三")});
  EXPECT_EQ(booked.orderId, "E123456789");
}

TEST_F(GrabWorkerTest, ManualCheckResultEndsTheWorkerWithItsLine) {
  service.SetText(kWaitTime, R"({"data":{"waitTime":4,"orderId":null}})");
  Answer({test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}, {"M", "3"}})});
  test::RecordingView view({Row("G7", u8"二等座| ,一等座| ,")});
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(view.WaitForLog(ManualLine("G7"), 5s));
  ASSERT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 5s));
  EXPECT_EQ(service.RequestsTo(kWaitTime).size(), 3u);
  EXPECT_EQ(service.RequestsTo(kCheckOrder).size(), 1u);  // the next class is not tried
  EXPECT_TRUE(service.RequestsTo(kResult).empty());
  EXPECT_EQ(view.Log(), Started() + ManualLine("G7"));
  ASSERT_EQ(view.ManualChecks().size(), 1u);
  EXPECT_EQ(view.ManualChecks()[0].seatType, "O");
  EXPECT_EQ(view.ManualChecks()[0].orderId, "");
}

// The lost answer of a confirmation the service may have carried out, and
// the service saying the account holds an unpaid order, end the worker: the
// order is reported, never tried again in a loop.
TEST_F(GrabWorkerTest, ALostConfirmationOrAnUnpaidOrderEndsTheWorker) {
  const std::string noOrderId = R"({"data":{"waitTime":4,"orderId":null}})";
  const struct {
    const char* name;
    const std::string& path;
    std::string answer;
    std::string waitAnswer;  // empty: the default, an order id at once
    bool booked;
    std::u8string_view message;
    std::size_t confirms;
  } cases[] = {
      {"lost confirmation, the polls learn the id", kConfirm, "<html>502 Bad Gateway</html>", "", true, u8"成功", 1},
      {"lost confirmation, the polls learn nothing", kConfirm, "<html>502 Bad Gateway</html>", noOrderId, false,
       u8"确认进入队列未得应答,请手动查看购票结果!", 1},
      {"an unpaid order refuses the submission", kSubmit,
       "{\"status\":false,\"messages\":[\"" + test::U8(u8"您还有未处理的订单，请您到[未完成订单]进行处理!") + "\"]}",
       "", false, u8"提交订单请求失败!失败原因:您还有未处理的订单，请您到[未完成订单]进行处理!", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    service.SetDefaults();
    service.SetText(c.path, c.answer);
    if (!c.waitAnswer.empty()) service.SetText(kWaitTime, c.waitAnswer);
    service.ClearRequests();
    Answer({test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}, {"M", "3"}})});
    test::RecordingView view({Row("G7", u8"二等座| ,一等座| ,")});
    auto grab = Controller(view);
    grab->StartGrabbing(view.Wishes());
    ASSERT_TRUE(view.WaitForLog(c.booked ? BookedLine("G7") : ManualLine("G7"), 5s)) << Utf8FromGbk(view.Log());
    ASSERT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 5s));
    EXPECT_EQ(view.Log(), Started() + (c.booked ? BookedLine("G7") : ManualLine("G7")));
    EXPECT_EQ(service.RequestsTo(kSubmit).size(), 1u) << "the next class is not tried";
    EXPECT_EQ(service.RequestsTo(kConfirm).size(), c.confirms);
    const std::vector<OrderReport> reports = c.booked ? view.Booked() : view.ManualChecks();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, G(c.message));
    EXPECT_EQ(reports[0].train, "G7");
    EXPECT_EQ(reports[0].date, "2026-12-14");
    EXPECT_EQ(reports[0].passengers, std::vector<std::string>{G(u8"张三")});
  }
}

// One session is one account: while one wish's confirmed order is in doubt
// the other does not confirm, and once that outcome stays unknown the other
// ends as a manual check without ordering.
TEST_F(GrabWorkerTest, AnotherWishOfTheAccountDoesNotOrderWhileAnOutcomeIsUnknown) {
  service.SetText(kConfirm, "<html>502 Bad Gateway</html>");
  service.SetText(kWaitTime, R"({"data":{"waitTime":4,"orderId":null}})");
  Answer(
      {test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}}), test::FakeTrainText("G8", "BJP", "SHH", {{"O", "3"}})});
  test::RecordingView view({Row("G7", u8"二等座| ,"), Row("G8", u8"二等座| ,")});
  auto grab = Controller(view, {100ms, 50ms, 200ms});
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return view.ManualChecks().size() == 2; }, 5s)) << Utf8FromGbk(view.Log());
  ASSERT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 5s));
  EXPECT_EQ(service.RequestsTo(kConfirm).size(), 1u);
  EXPECT_EQ(service.RequestsTo(kWaitTime).size(), 3u);
  const std::vector<OrderReport> manual = view.ManualChecks();
  ASSERT_EQ(manual.size(), 2u);
  std::set<std::string> messages = {manual[0].message, manual[1].message};
  EXPECT_EQ(messages, (std::set<std::string>{G(u8"确认进入队列未得应答,请手动查看购票结果!"),
                                             G(u8"本账号另有订单结果未明,请手动查看购票结果!")}));
  EXPECT_NE(manual[0].train, manual[1].train);
  const std::string log = view.Log();
  EXPECT_TRUE(log == Started() + ManualLine("G7") + ManualLine("G8") ||
              log == Started() + ManualLine("G8") + ManualLine("G7"))
      << Utf8FromGbk(log);

  // A new start is the person's word that they have looked: it orders again.
  service.SetDefaults();
  Answer({test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}})});
  test::RecordingView again({Row("G7", u8"二等座| ,")});
  grab->StartGrabbing(again.Wishes());
  EXPECT_TRUE(view.WaitForLog(BookedLine("G7"), 5s));
}

TEST_F(GrabWorkerTest, FailedChainMovesToTheNextClassThenToTheNextAttempt) {
  service.SetText(kConfirm, R"({"data":{"errMsg":"none","submitStatus":false}})");
  Answer({test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}, {"M", "3"}})});
  test::RecordingView view({Row("G7", u8"一等座| ,二等座| ,")});
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return service.RequestsTo(kQuery).size() >= 3; }, 5s));
  grab->StopAndJoinAll();

  // Per attempt: one query, then a chain up to the confirmation for each class in the user's order.
  std::vector<std::string> seen;
  for (const auto& request : service.Requests()) {
    if (request.path == kQuery) seen.push_back("query");
    if (request.path == kCheckOrder) seen.push_back(OrderedSeat(request));
  }
  ASSERT_GE(seen.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 6),
            (std::vector<std::string>{"query", "M", "O", "query", "M", "O"}));
  // The idle pause comes after the last class's chain, before the next query.
  const auto confirms = service.RequestsTo(kConfirm);
  const auto queries = service.RequestsTo(kQuery);
  ASSERT_GE(confirms.size(), 2u);
  EXPECT_GE(queries[1].at - confirms[1].at, kQuickPacing.afterIdlePass);
  EXPECT_EQ(view.Log(), Started());
}

TEST_F(GrabWorkerTest, WorkerThatCannotOrderKeepsQueryingAndCounting) {
  Answer({test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}})});
  // A train missing from the answer, and a seat order with no class the service knows.
  test::RecordingView view({Row("G8", u8"二等座| ,"), Row("G7", u8"无座| ,")});
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return view.AttemptCount() >= 8; }, 5s));
  grab->StopGrabbing();
  EXPECT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 2s));
  EXPECT_TRUE(service.RequestsTo(kCheckOrder).empty());
  EXPECT_TRUE(service.RequestsTo(service_paths::kCheckUser).empty());
  EXPECT_GE(view.LastAttempt().attempt, 4u);
}

TEST_F(GrabWorkerTest, EachStartLaunchesOneWorkerPerRowBesideEarlierOnes) {
  test::RecordingView view({Row("G8", u8"二等座| ,"), Row("G9", u8"二等座| ,")});
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 2; }, 5s));
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 4; }, 5s));
  grab->StopGrabbing();
  ASSERT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 2s));
  grab->StartGrabbing(view.Wishes());
  EXPECT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 2; }, 5s));
}

// Stopping.

TEST_F(GrabWorkerTest, StopAbandonsAQueryInFlightAtOnce) {
  service.SetDelay(kQuery, 20s);
  test::RecordingView view({Row("G7", u8"二等座| ,"), Row("G8", u8"二等座| ,")});
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return service.RequestsTo(kQuery).size() == 2; }, 5s));

  const auto stopAt = std::chrono::steady_clock::now();
  grab->StopGrabbing();
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 500ms) << "StopGrabbing must not wait for the workers";
  EXPECT_EQ(view.Stops(), 1);
  EXPECT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 2s));
  EXPECT_EQ(service.RequestsTo(kQuery).size(), 2u);
}

TEST_F(GrabWorkerTest, StopEndsAWorkerInsideItsPause) {
  service.SetText(kQuery, R"({"status":false,"messages":["busy"]})");
  test::RecordingView view({Row("G7", u8"二等座| ,")});
  auto grab = Controller(view, {20s, 20s, 20ms});
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return service.RequestsTo(kQuery).size() == 1; }, 5s));
  grab->StopGrabbing();
  EXPECT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 2s));
}

TEST_F(GrabWorkerTest, ChainPastTheConfirmationFinishesAndIsLoggedAfterStop) {
  service.SetDelay(kConfirm, 300ms);
  Answer({test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}})});
  test::RecordingView view({Row("G7", u8"二等座| ,")});
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return !service.RequestsTo(kConfirm).empty(); }, 5s));
  grab->StopGrabbing();
  ASSERT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 5s));
  grab->StopAndJoinAll();
  EXPECT_EQ(view.Log(), Started() + BookedLine("G7"));
  ASSERT_EQ(view.Booked().size(), 1u);
  EXPECT_EQ(view.Booked()[0].orderId, "E123456789");
  EXPECT_EQ(service.RequestsTo(kResult).size(), 1u);
}

// Closing the program while a confirmed order polls for its id: the worker
// ends at once and tells the order as abandoned.
TEST_F(GrabWorkerTest, ClosingDuringTheOrderIdPollsTakesLessThanTwoSeconds) {
  service.SetText(kWaitTime, R"({"data":{"waitTime":4,"orderId":null}})");
  Answer({test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}})});
  test::RecordingView view({Row("G7", u8"二等座| ,")});
  auto grab = Controller(view, {100ms, 50ms, 2000ms});
  grab->StartGrabbing(view.Wishes());
  const bool polling = test::WaitUntil([&] { return !service.RequestsTo(kWaitTime).empty(); }, 5s);
  const auto closedAt = std::chrono::steady_clock::now();
  grab->StopAndJoinAll();
  const auto closing = std::chrono::steady_clock::now() - closedAt;
  ASSERT_TRUE(polling);
  EXPECT_LT(closing, 2s);
  const std::vector<OrderReport> abandoned = view.Abandoned();
  ASSERT_EQ(abandoned.size(), 1u);
  EXPECT_EQ(abandoned[0].outcome, OrderOutcomeKind::kAbandoned);
  EXPECT_EQ(abandoned[0].train, "G7");
  EXPECT_EQ(abandoned[0].date, "2026-12-14");
  EXPECT_EQ(abandoned[0].passengers, std::vector<std::string>{G(u8"张三")});
  EXPECT_EQ(view.Log(), Started());
  EXPECT_TRUE(view.Booked().empty());
  EXPECT_TRUE(view.ManualChecks().empty());
  EXPECT_EQ(grab->RunningWorkerCount(), 0);
}

TEST_F(GrabWorkerTest, StopBeforeTheChainLeavesTheTicketUntouched) {
  service.SetDelay(kQueueCount, 20s);
  Answer({test::FakeTrainText("G7", "BJP", "SHH", {{"O", "3"}})});
  test::RecordingView view({Row("G7", u8"二等座| ,")});
  auto grab = Controller(view);
  grab->StartGrabbing(view.Wishes());
  ASSERT_TRUE(test::WaitUntil([&] { return !service.RequestsTo(kQueueCount).empty(); }, 5s));
  grab->StopGrabbing();
  EXPECT_TRUE(test::WaitUntil([&] { return grab->RunningWorkerCount() == 0; }, 2s));
  EXPECT_TRUE(service.RequestsTo(kConfirm).empty());
  EXPECT_EQ(view.Log(), Started());
}

}  // namespace
}  // namespace quillet
