// The order chain against a scripted service: step order, the values it
// sends, its messages, the order-id polls and stopping.
#include <gtest/gtest.h>

#include <future>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "fake_service.h"
#include "gbk.h"
#include "grab/account_gate.h"
#include "grab/order_chain.h"
#include "net/cookies.h"
#include "util/text.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::G;
using test::U8;

const std::string kCheckUser = service_paths::kCheckUser;
const std::string kSubmit = service_paths::kSubmitOrderRequest;
const std::string kInitDc = service_paths::kOrderPage;
const std::string kCheckOrder = service_paths::kCheckOrderInfo;
const std::string kQueueCount = service_paths::kQueueCount;
const std::string kConfirm = service_paths::kConfirmSingleForQueue;
const std::string kWaitTime = service_paths::kOrderWaitTime;
const std::string kResult = service_paths::kOrderResult;
const std::vector<std::string> kAllSteps = {kCheckUser,  kSubmit,  kInitDc,   kCheckOrder,
                                            kQueueCount, kConfirm, kWaitTime, kResult};

const std::string kNoOrderId =
    R"({"data":{"queryOrderWaitTimeStatus":true,"count":0,"waitTime":4,"tourFlag":"dc","orderId":null}})";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

GrabTask SampleTask() {
  GrabTask task;
  task.passengerName = G(u8"张三");
  task.passengerType = "1";
  task.ticketType = "1";
  task.idType = "1";
  task.idNo = "110101199001011234";
  task.fromStationName = "BJ";
  task.toStationName = "SH";
  task.fromTelecode = "VNP";
  task.toTelecode = "AOH";
  task.stationTrainCode = "G101";
  task.trainDate = "2026-12-14";
  task.trainLocation = "P2";
  task.seatType = "O";
  task.trainNo = "NOG101";
  task.secretStr = "SECRET%2BG101";
  task.leftTicket = "LEFTG101";
  return task;
}

class OrderChainTest : public ::testing::Test {
 protected:
  // One service for the suite: stopping one waits for its idle connections.
  static void SetUpTestSuite() { sharedService = new test::FakeService; }
  static void TearDownTestSuite() {
    delete sharedService;
    sharedService = nullptr;
  }
  void SetUp() override {
    service.SetDefaults();
    service.ClearRequests();
  }

  static test::FakeService* sharedService;
  test::FakeService& service = *sharedService;
  CookieJar jar;
  BookingClient client{service.BaseUrl(), jar};
  GrabTask task = SampleTask();
  OrderChainSettings settings{"2026-12-10", 100ms};

  std::string BodyOf(const std::string& path) const {
    const auto requests = service.RequestsTo(path);
    return requests.empty() ? std::string("<not sent>") : requests.front().body;
  }
};

test::FakeService* OrderChainTest::sharedService = nullptr;

TEST_F(OrderChainTest, SmoothRunSendsTheStepsInOrderWithTheFixedValues) {
  const OrderOutcome outcome = RunOrderChain(client, task, settings);
  EXPECT_EQ(outcome.kind, OrderOutcomeKind::kBooked);
  EXPECT_EQ(outcome.message, G(u8"成功"));
  EXPECT_EQ(service.Paths(), kAllSteps);

  EXPECT_TRUE(Contains(BodyOf(kSubmit),
                       "secretStr=SECRET%2BG101&train_date=2026-12-14&back_train_date=2026-12-10"
                       "&tour_flag=dc&purpose_codes=ADULT&query_from_station_name=BJ&query_to_station_name=SH"))
      << BodyOf(kSubmit);
  EXPECT_TRUE(Contains(BodyOf(kCheckOrder), "&REPEAT_SUBMIT_TOKEN=TOKEN42")) << BodyOf(kCheckOrder);
  EXPECT_TRUE(Contains(BodyOf(kQueueCount),
                       "&train_no=NOG101&stationTrainCode=G101&seatType=O&fromStationTelecode=VNP"
                       "&toStationTelecode=AOH&leftTicket=LEFTG101&purpose_codes=00&"))
      << BodyOf(kQueueCount);
  EXPECT_TRUE(Contains(BodyOf(kQueueCount), "REPEAT_SUBMIT_TOKEN=TOKEN42"));
  EXPECT_TRUE(Contains(BodyOf(kConfirm),
                       "&randCode=&purpose_codes=00&key_check_isChange=KEYCHECK&leftTicketStr=LTS%252Babc"
                       "&train_location=P2&choose_seats=&seatDetailType=000&whatsSelect=1&roomType=00&dwAll=N"
                       "&_json_att=&REPEAT_SUBMIT_TOKEN=TOKEN42"))
      << BodyOf(kConfirm);
  const auto polls = service.RequestsTo(kWaitTime);
  ASSERT_EQ(polls.size(), 1u);
  EXPECT_TRUE(Contains(polls[0].target, "&tourFlag=dc&_json_att=&REPEAT_SUBMIT_TOKEN=TOKEN42")) << polls[0].target;
  EXPECT_EQ(BodyOf(kResult), "orderSequence_no=E123456789&_json_att=&REPEAT_SUBMIT_TOKEN=TOKEN42");

  EXPECT_EQ(task.repeatSubmitToken, "TOKEN42");
  EXPECT_EQ(task.trainDateMs, "1400000000000");
  EXPECT_EQ(task.orderId, "E123456789");
}

TEST_F(OrderChainTest, OrderRequestUsesStudentPurposeCodeOnlyForTicketType3) {
  const std::pair<std::string, std::string> cases[] = {{"1", "ADULT"}, {"2", "ADULT"}, {"3", "0X00"}, {"4", "ADULT"}};
  for (const auto& [ticketType, purposeCodes] : cases) {
    service.ClearRequests();
    task.ticketType = ticketType;
    EXPECT_EQ(RunOrderChain(client, task, settings).kind, OrderOutcomeKind::kBooked);
    EXPECT_TRUE(Contains(BodyOf(kSubmit), "&purpose_codes=" + purposeCodes + "&")) << ticketType;
    EXPECT_TRUE(Contains(BodyOf(kQueueCount), "&purpose_codes=00&")) << ticketType;
    EXPECT_TRUE(Contains(BodyOf(kConfirm), "&purpose_codes=00&")) << ticketType;
  }
}

// Asked positions go with the classes that have lettered seats, asked berths
// with the sleeper classes; any other class sends what a task without wishes
// sends.
TEST_F(OrderChainTest, SeatWishesGoWithTheClassesThatHaveThem) {
  struct Case {
    std::string seatType;
    std::string sent;
  };
  const Case cases[] = {
      {"O", "&choose_seats=1F2F&seatDetailType=000&"}, {"M", "&choose_seats=1F2F&seatDetailType=000&"},
      {"3", "&choose_seats=&seatDetailType=110&"},     {"4", "&choose_seats=&seatDetailType=110&"},
      {"1", "&choose_seats=&seatDetailType=000&"},
  };
  task.seatPositions = {SeatPosition::kF, SeatPosition::kF};
  task.berths = {Berth::kLower, Berth::kMiddle};
  for (const Case& c : cases) {
    service.ClearRequests();
    task.seatType = c.seatType;
    EXPECT_EQ(RunOrderChain(client, task, settings).kind, OrderOutcomeKind::kBooked) << c.seatType;
    EXPECT_TRUE(Contains(BodyOf(kConfirm), c.sent)) << c.seatType << ": " << BodyOf(kConfirm);
  }
}

TEST_F(OrderChainTest, FailingStepEndsTheRunWithItsMessage) {
  struct Case {
    std::string path;
    std::string answer;  // UTF-8, as the service sends it
    std::u8string_view expected;
    std::size_t stepsSent;
    OrderOutcomeKind kind = OrderOutcomeKind::kFailed;
  };
  const Case cases[] = {
      // The service saying the sign-in is gone is a lapsed session; an answer
      // that says nothing about it is a plain failure.
      {kCheckUser, R"({"data":{"flag":false},"status":true})", u8"核查用户失败", 1, OrderOutcomeKind::kSessionLapsed},
      {kCheckUser, "<html>busy</html>", u8"核查用户失败", 1},
      {kSubmit, "{\"status\":false,\"messages\":[\"\xe7\x94\xa8\xe6\x88\xb7\xe6\x9c\xaa\xe7\x99\xbb\xe5\xbd\x95\"]}",
       u8"提交订单请求失败!失败原因:用户未登录", 2, OrderOutcomeKind::kSessionLapsed},
      {kSubmit, "{\"status\":false,\"messages\":[\"\xe8\xaf\xb7\xe6\x89\x8b\xe5\x8a\xa8\xe5\xa4\x84\xe7\x90\x86\"]}",
       u8"提交订单请求失败!失败原因:请手动处理", 2},
      {kInitDc, "<script>var globalRepeatSubmitToken = 'T';</script>", u8"初始化信息失败!", 3},
      {kCheckOrder, "{\"data\":{\"errMsg\":\"\xe5\x87\xba\xe7\xa5\xa8\",\"submitStatus\":false}}",
       u8"检查订单信息失败!失败原因:出票", 4},
      {kQueueCount, R"({"data":{"count":"9","ticket":"1,0","op_2":"true"},"status":true})",
       u8"获取队列数量失败!失败原因:当前排队人数大于剩余票数!", 5},
      {kConfirm, "{\"data\":{\"errMsg\":\"\xe4\xbd\x99\xe7\xa5\xa8\xe4\xb8\x8d\xe8\xb6\xb3\",\"submitStatus\":false}}",
       u8"确认进入队列失败!失败原因:余票不足", 6},
      {kResult, R"({"data":{"submitStatus":false},"messages":["x"]})", u8"获取单程队列订单结果失败,请手动查看购票结果!",
       8, OrderOutcomeKind::kManualCheck},
  };
  for (const Case& c : cases) {
    service.SetDefaults();
    service.SetText(c.path, c.answer);
    service.ClearRequests();
    // The confirmation is told before it goes, and only when it goes.
    std::vector<std::size_t> stepsBeforeConfirmTold;
    settings.beforeConfirm = [&](const GrabTask&) {
      stepsBeforeConfirmTold.push_back(service.Paths().size());
      return true;
    };
    const OrderOutcome outcome = RunOrderChain(client, task, settings);
    EXPECT_EQ(stepsBeforeConfirmTold, c.stepsSent >= 6 ? std::vector<std::size_t>{5} : std::vector<std::size_t>{})
        << c.path;
    EXPECT_EQ(outcome.message, G(c.expected)) << c.path;
    // A service message that says "手动" is still a plain failure.
    EXPECT_EQ(outcome.kind, c.kind) << c.path;
    EXPECT_EQ(service.Paths(), std::vector<std::string>(kAllSteps.begin(), kAllSteps.begin() + c.stepsSent)) << c.path;
  }
}

// A confirmation that could not be written down where it must be (a
// fleet's Redis) does not go: the chain fails with nothing placed.
TEST_F(OrderChainTest, AConfirmationThatMayNotGoEndsTheChainBeforeIt) {
  settings.beforeConfirm = [](const GrabTask&) { return false; };
  const OrderOutcome outcome = RunOrderChain(client, task, settings);
  EXPECT_EQ(outcome.kind, OrderOutcomeKind::kFailed);
  EXPECT_EQ(outcome.end, OrderChainEnd::kConfirm);
  EXPECT_EQ(outcome.message, G(u8"确认进入队列失败!失败原因:未能记下本次确认,未提交"));
  EXPECT_EQ(service.Paths(), std::vector<std::string>(kAllSteps.begin(), kAllSteps.begin() + 5));
}

TEST_F(OrderChainTest, APartyGoesOnOneOrderWithItsPassengerTextsJoined) {
  task.passengerName = "A";
  task.party = {{"A", "1", "1", "11"}, {"B", "3", "2", "22"}};
  ASSERT_EQ(RunOrderChain(client, task, settings).kind, OrderOutcomeKind::kBooked);
  const std::string ticketStr = "O%2C0%2C1%2CA%2C1%2C11%2C%2CN_O%2C0%2C1%2CB%2C2%2C22%2C%2CN";
  const std::string oldStr = "A%2C1%2C11%2C1_B%2C2%2C22%2C3_";
  EXPECT_TRUE(Contains(BodyOf(kCheckOrder),
                       "&passengerTicketStr=" + ticketStr + "&oldPassengerStr=" + oldStr + "&tour_flag=dc&"))
      << BodyOf(kCheckOrder);
  EXPECT_TRUE(Contains(BodyOf(kConfirm), "passengerTicketStr=" + ticketStr + "&oldPassengerStr=" + oldStr + "&"))
      << BodyOf(kConfirm);
}

TEST_F(OrderChainTest, OrderIdOnSecondPollMeansOneWait) {
  std::atomic<int> polls{0};
  service.SetAnswer(kWaitTime, [&](const test::FakeService::Request&) {
    return ++polls == 1 ? kNoOrderId : std::string(R"({"data":{"waitTime":-1,"orderId":"E000000002"}})");
  });
  EXPECT_EQ(RunOrderChain(client, task, settings).kind, OrderOutcomeKind::kBooked);
  const auto requests = service.RequestsTo(kWaitTime);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_GE(requests[1].at - requests[0].at, settings.pollWait);
  EXPECT_EQ(BodyOf(kResult), "orderSequence_no=E000000002&_json_att=&REPEAT_SUBMIT_TOKEN=TOKEN42");
}

TEST_F(OrderChainTest, ThreeEmptyPollsEachFollowedByAWaitCallForAManualCheck) {
  service.SetText(kWaitTime, kNoOrderId);
  const auto started = std::chrono::steady_clock::now();
  const OrderOutcome result = RunOrderChain(client, task, settings);
  const auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(result.kind, OrderOutcomeKind::kManualCheck);
  EXPECT_EQ(result.message, G(u8"确认订单等待时间失败,请手动查看购票结果!"));
  const auto polls = service.RequestsTo(kWaitTime);
  ASSERT_EQ(polls.size(), 3u);
  EXPECT_GE(polls[1].at - polls[0].at, settings.pollWait);
  EXPECT_GE(polls[2].at - polls[1].at, settings.pollWait);
  EXPECT_GE(elapsed, 3 * settings.pollWait);
  EXPECT_TRUE(service.RequestsTo(kResult).empty());
}

// Stopping: a result that is neither a success nor a manual-check case.
void ExpectStoppedResult(const OrderOutcome& result) {
  EXPECT_EQ(result.kind, OrderOutcomeKind::kStopped);
  EXPECT_NE(result.message, G(u8"成功"));
  EXPECT_EQ(FindText(result.message, G(u8"手动")), kNotFound);
}

// A confirmation whose answer is lost may have taken the ticket: the polls
// find out, and learning nothing is a manual check, never a plain refusal.
TEST_F(OrderChainTest, ALostConfirmationAnswerIsFollowedByTheOrderIdPolls) {
  const struct {
    const char* name;
    std::string confirmAnswer;
    std::string waitAnswer;  // empty: the default, an order id at once
    OrderOutcomeKind kind;
    std::u8string_view message;
    std::size_t polls;
  } cases[] = {
      {"an error page, then the id", "<html>502 Bad Gateway</html>", "", OrderOutcomeKind::kBooked, u8"成功", 1},
      {"random bytes, and no id", "\x9f\xfe\x01}{garbage", kNoOrderId, OrderOutcomeKind::kManualCheck,
       u8"确认进入队列未得应答,请手动查看购票结果!", 3},
      {"the service's own refusal", "{\"data\":{\"errMsg\":\"" + U8(u8"余票不足") + "\",\"submitStatus\":false}}", "",
       OrderOutcomeKind::kFailed, u8"确认进入队列失败!失败原因:余票不足", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    service.SetDefaults();
    service.SetText(kConfirm, c.confirmAnswer);
    if (!c.waitAnswer.empty()) service.SetText(kWaitTime, c.waitAnswer);
    service.ClearRequests();
    const OrderOutcome outcome = RunOrderChain(client, task, settings);
    EXPECT_EQ(outcome.kind, c.kind);
    EXPECT_EQ(outcome.message, G(c.message));
    EXPECT_EQ(service.RequestsTo(kConfirm).size(), 1u);
    EXPECT_EQ(service.RequestsTo(kWaitTime).size(), c.polls);
    EXPECT_EQ(service.RequestsTo(kResult).size(), c.kind == OrderOutcomeKind::kBooked ? 1u : 0u);
  }
}

// The order-id poll names the session's latest order. After a confirmation
// that never reached the service that is an earlier order of the account,
// which must not be reported as this one's booking.
TEST_F(OrderChainTest, AnOrderIdAnEarlierConfirmationLearntIsNotThisOnesOutcome) {
  AccountGate gate;
  OrderChainSettings gated = settings;
  gated.accountGate = &gate;
  ASSERT_EQ(RunOrderChain(client, task, gated).kind, OrderOutcomeKind::kBooked);
  EXPECT_EQ(BodyOf(kResult), "orderSequence_no=E123456789&_json_att=&REPEAT_SUBMIT_TOKEN=TOKEN42");

  service.SetText(kConfirm, "<html>502 Bad Gateway</html>");
  service.SetText(kWaitTime, R"({"data":{"waitTime":-1,"orderId":"E123456789"}})");
  service.ClearRequests();
  const OrderOutcome lost = RunOrderChain(client, task, gated);
  EXPECT_EQ(lost.kind, OrderOutcomeKind::kManualCheck);
  EXPECT_EQ(lost.message, G(u8"确认进入队列未得应答,请手动查看购票结果!"));
  EXPECT_EQ(service.RequestsTo(kWaitTime).size(), 3u);
  EXPECT_TRUE(service.RequestsTo(kResult).empty());

  // Once the new order is made the poll names it, and that one is booked.
  gate.Release();  // the person has looked
  service.SetDefaults();
  std::atomic<int> polls{0};
  service.SetAnswer(kWaitTime, [&](const test::FakeService::Request&) {
    return std::string(R"({"data":{"waitTime":-1,"orderId":")") + (++polls == 1 ? "E123456789" : "E123456790") + "\"}}";
  });
  service.ClearRequests();
  EXPECT_EQ(RunOrderChain(client, task, gated).kind, OrderOutcomeKind::kBooked);
  EXPECT_EQ(BodyOf(kResult), "orderSequence_no=E123456790&_json_att=&REPEAT_SUBMIT_TOKEN=TOKEN42");
}

TEST_F(OrderChainTest, TheAccountsUnpaidOrderIsAManualCheckAtOnce) {
  constexpr std::u8string_view kUnpaid = u8"您还有未处理的订单，请您到[未完成订单]进行处理!";
  const std::string unpaid = U8(kUnpaid);
  const struct {
    const std::string& path;
    std::string answer;
    std::u8string_view prefix;
    std::size_t stepsSent;
  } cases[] = {
      {kSubmit, "{\"status\":false,\"messages\":[\"" + unpaid + "\"]}", u8"提交订单请求失败!失败原因:", 2},
      {kConfirm, "{\"data\":{\"errMsg\":\"" + unpaid + "\",\"submitStatus\":false}}", u8"确认进入队列失败!失败原因:",
       6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    service.SetDefaults();
    service.SetText(c.path, c.answer);
    service.ClearRequests();
    const OrderOutcome outcome = RunOrderChain(client, task, settings);
    EXPECT_EQ(outcome.kind, OrderOutcomeKind::kManualCheck);
    EXPECT_EQ(outcome.message, G(c.prefix) + G(kUnpaid));
    EXPECT_EQ(service.Paths(), std::vector<std::string>(kAllSteps.begin(), kAllSteps.begin() + c.stepsSent));
  }
}

TEST_F(OrderChainTest, TheAccountGateKeepsOrdersApartWhileOneIsInDoubt) {
  AccountGate gate;
  OrderChainSettings gated = settings;
  gated.accountGate = &gate;

  // Another order of the account is under way: the chain waits before it
  // sends anything, and a stop ends the wait.
  ASSERT_EQ(gate.TakeTurn({}), AccountGate::Pass::kClear);
  std::stop_source stop;
  auto waiting = std::async(std::launch::async, [&] { return RunOrderChain(client, task, gated, stop.get_token()); });
  EXPECT_EQ(waiting.wait_for(300ms), std::future_status::timeout);
  EXPECT_TRUE(service.Requests().empty());
  stop.request_stop();
  ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
  ExpectStoppedResult(waiting.get());

  // That order learnt, a chain waiting for it goes on and books.
  auto next = std::async(std::launch::async, [&] { return RunOrderChain(client, task, gated); });
  EXPECT_EQ(next.wait_for(200ms), std::future_status::timeout);
  gate.Settle(/*leaveTurn=*/true, /*unknown=*/false);
  EXPECT_EQ(next.get().kind, OrderOutcomeKind::kBooked);
  EXPECT_FALSE(gate.Held());

  // An outcome that stays unknown holds the account: the next chain sends
  // nothing and is a manual check that says why.
  service.SetText(kWaitTime, kNoOrderId);
  EXPECT_EQ(RunOrderChain(client, task, gated).kind, OrderOutcomeKind::kManualCheck);
  EXPECT_TRUE(gate.Held());
  service.SetDefaults();
  service.ClearRequests();
  const OrderOutcome held = RunOrderChain(client, task, gated);
  EXPECT_EQ(held.kind, OrderOutcomeKind::kManualCheck);
  EXPECT_EQ(held.message, G(u8"本账号另有订单结果未明,请手动查看购票结果!"));
  EXPECT_TRUE(service.Requests().empty());
}

// The service keeps one order page per session: a second chain's order page
// would void the token the first confirms and polls with, so that the first
// learns nothing of its order. Two chains of one account go one after the
// other, the second from its first request after the first's outcome.
TEST_F(OrderChainTest, TwoChainsOfOneAccountGoOneAfterTheOther) {
  AccountGate gate;
  std::promise<void> firstAtConfirm, letFirstConfirm;
  std::shared_future<void> mayConfirm = letFirstConfirm.get_future().share();
  OrderChainSettings first = settings;
  first.accountGate = &gate;
  first.beforeConfirm = [&firstAtConfirm, mayConfirm](const GrabTask&) {
    firstAtConfirm.set_value();
    mayConfirm.wait();
    return true;
  };
  OrderChainSettings second = settings;
  second.accountGate = &gate;

  auto firstChain = std::async(std::launch::async, [&] { return RunOrderChain(client, task, first); });
  firstAtConfirm.get_future().wait();
  BookingClient otherWorker{service.BaseUrl(), jar};
  GrabTask otherTask = SampleTask();
  auto secondChain = std::async(std::launch::async, [&] { return RunOrderChain(otherWorker, otherTask, second); });
  EXPECT_EQ(secondChain.wait_for(300ms), std::future_status::timeout);
  EXPECT_EQ(service.Paths().size(), 5u) << "the second chain sent a request while the first was under way";
  letFirstConfirm.set_value();

  EXPECT_EQ(firstChain.get().kind, OrderOutcomeKind::kBooked);
  EXPECT_EQ(secondChain.get().kind, OrderOutcomeKind::kBooked);
  std::vector<std::string> oneAfterTheOther = kAllSteps;
  oneAfterTheOther.insert(oneAfterTheOther.end(), kAllSteps.begin(), kAllSteps.end());
  EXPECT_EQ(service.Paths(), oneAfterTheOther);
}

TEST_F(OrderChainTest, StopBeforeTheRunSendsNothing) {
  std::stop_source stop;
  stop.request_stop();
  ExpectStoppedResult(RunOrderChain(client, task, settings, stop.get_token()));
  EXPECT_TRUE(service.Requests().empty());
}

bool WaitForRequest(const test::FakeService& service, const std::string& path) {
  for (int i = 0; i < 500; ++i) {
    if (!service.RequestsTo(path).empty()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

TEST_F(OrderChainTest, StopAbandonsAStepInFlightBeforeTheTicketIsTaken) {
  for (std::size_t step = 0; step < 5; ++step) {
    const std::string& path = kAllSteps[step];
    service.SetDefaults();
    service.SetDelay(path, 20s);
    service.ClearRequests();
    std::stop_source stop;
    auto run = std::async(std::launch::async, [&] { return RunOrderChain(client, task, settings, stop.get_token()); });
    ASSERT_TRUE(WaitForRequest(service, path)) << path;
    stop.request_stop();
    ASSERT_EQ(run.wait_for(5s), std::future_status::ready) << "the step in flight was not abandoned: " << path;
    ExpectStoppedResult(run.get());
    EXPECT_EQ(service.Paths(), std::vector<std::string>(kAllSteps.begin(), kAllSteps.begin() + step + 1)) << path;
  }
}

TEST_F(OrderChainTest, StopOnceTheTicketIsRequestedLetsTheRunFinish) {
  service.SetDelay(kConfirm, 300ms);
  std::atomic<int> polls{0};
  service.SetAnswer(kWaitTime, [&](const test::FakeService::Request&) {
    return ++polls < 3 ? kNoOrderId : std::string(R"({"data":{"orderId":"E000000003"}})");
  });
  std::stop_source stop;
  auto run = std::async(std::launch::async, [&] { return RunOrderChain(client, task, settings, stop.get_token()); });
  ASSERT_TRUE(WaitForRequest(service, kConfirm));
  stop.request_stop();
  EXPECT_EQ(run.get().kind, OrderOutcomeKind::kBooked);
  EXPECT_EQ(service.RequestsTo(kWaitTime).size(), 3u);
  EXPECT_EQ(BodyOf(kResult), "orderSequence_no=E000000003&_json_att=&REPEAT_SUBMIT_TOKEN=TOKEN42");
}

// Closing the program past the confirmation: the polls and requests end at
// once, and the outcome says the submitted order was abandoned.
TEST_F(OrderChainTest, ClosingEndsAConfirmedRunAtOnceAndNamesTheOrder) {
  const OrderChainSettings realPacing{"2026-12-10", 2000ms};
  const struct {
    const char* name;
    const std::string& inFlight;  // the request under way when the program closes
    std::size_t polls;            // order-id polls sent by then
  } cases[] = {
      {"waiting between polls that never give an id", kWaitTime, 1},
      {"order result in flight", kResult, 1},
      {"confirmation in flight", kConfirm, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    service.SetDefaults();
    if (&c.inFlight == &kWaitTime) {
      service.SetText(kWaitTime, kNoOrderId);
    } else {
      service.SetDelay(c.inFlight, 20s);
    }
    service.ClearRequests();
    std::stop_source stop, closing;
    testing::internal::CaptureStderr();  // the core writes nothing there
    auto run = std::async(std::launch::async, [&] {
      return RunOrderChain(client, task, realPacing, stop.get_token(), closing.get_token());
    });
    ASSERT_TRUE(WaitForRequest(service, c.inFlight));
    stop.request_stop();  // the window stops every worker as it closes, then closes
    closing.request_stop();
    const auto closedAt = std::chrono::steady_clock::now();
    const bool ended = run.wait_for(5s) == std::future_status::ready;
    const std::string stderrText = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ended);
    EXPECT_LT(std::chrono::steady_clock::now() - closedAt, 2s);
    EXPECT_EQ(run.get().kind, OrderOutcomeKind::kAbandoned);
    EXPECT_EQ(stderrText, "");
    EXPECT_EQ(service.RequestsTo(kWaitTime).size(), c.polls);
  }
}

TEST_F(OrderChainTest, ClosingBeforeTheConfirmationStopsWithoutANote) {
  service.SetDelay(kQueueCount, 20s);
  std::stop_source closing;
  testing::internal::CaptureStderr();
  auto run =
      std::async(std::launch::async, [&] { return RunOrderChain(client, task, settings, {}, closing.get_token()); });
  ASSERT_TRUE(WaitForRequest(service, kQueueCount));
  closing.request_stop();
  ASSERT_EQ(run.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ExpectStoppedResult(run.get());
  EXPECT_TRUE(service.RequestsTo(kConfirm).empty());
}

}  // namespace
}  // namespace quillet
