// The order chain against a running quillet-sim: a correct conversation
// books a ticket, and each wrong value is refused at its step.
#include <gtest/gtest.h>

#include <functional>

#include "booking/service_paths.h"
#include "sim_fixture.h"

namespace quillet::test {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

class SimOrderTest : public ::testing::Test {
 protected:
  SimOrderTest() : sim_({"--seed", "7", "--release-every", "0"}), client_(sim_) {}
  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    ASSERT_TRUE(client_.SignIn());
  }
  // Loads the passenger list (after an order page) and fills in the id number.
  void UsePassenger(OrderValues& v, const std::string& name, const std::string& type) {
    OrderValues page;
    client_.InitDc(page);
    const SimAnswer list = client_.Post(service_paths::kPassengers, "_json_att=&REPEAT_SUBMIT_TOKEN=" + page.token);
    v.passengerName = name;
    v.passengerType = type;
    v.idNo = PassengerIdNo(list.body, name);
    ASSERT_FALSE(v.idNo.empty()) << list.body;
  }
  SimProcess sim_;
  SimConversation client_;
};

TEST_F(SimOrderTest, CorrectConversationBooksOneTicket) {
  OrderValues v = PrepareOrder(sim_, client_, 1);
  ASSERT_FALSE(v.train.empty());
  UsePassenger(v, "张伟", "1");

  const SimAnswer none = client_.Post(service_paths::kUnfinishedOrders, "_json_att=");
  EXPECT_TRUE(Has(none.body, "status\":true")) << none.body;
  EXPECT_FALSE(Has(none.body, "orderDBList")) << none.body;

  EXPECT_TRUE(Has(client_.SubmitOrderRequest(v).body, "\"status\":true,\"httpstatus\":200,\"data\":\"N\""));

  const SimAnswer page = client_.InitDc(v);
  ASSERT_EQ(page.status, 200);
  EXPECT_EQ(v.token.size(), 32u);
  EXPECT_FALSE(v.keyCheck.empty());
  // The left-ticket text stands in the page raw, with characters that need encoding.
  EXPECT_NE(v.leftTicketStr.find_first_of("+/="), std::string::npos) << v.leftTicketStr;
  EXPECT_TRUE(Has(page.body, "'train_location':'" + v.train[15] + "'"));

  EXPECT_TRUE(Has(client_.CheckOrderInfo(v).body, "submitStatus\":true"));
  const SimAnswer queue = client_.GetQueueCount(v);
  EXPECT_TRUE(Has(queue.body, "\"ticket\":\"1,0\",\"op_2\":\"false\"")) << queue.body;
  EXPECT_TRUE(Has(client_.ConfirmSingleForQueue(v).body, "\"data\":{\"submitStatus\":true}"));

  // The order id comes on the first to third poll.
  for (int poll = 0; poll < 3 && v.orderId.empty(); ++poll) {
    const SimAnswer wait = client_.QueryOrderWaitTime(v);
    EXPECT_TRUE(Has(wait.body, "queryOrderWaitTimeStatus\":true")) << wait.body;
    if (v.orderId.empty()) {
      EXPECT_TRUE(Has(wait.body, "\"orderId\":null}")) << wait.body;
    }
  }
  ASSERT_EQ(v.orderId.size(), 10u);
  EXPECT_EQ(v.orderId[0], 'E');
  EXPECT_TRUE(Has(client_.ResultOrderForDcQueue(v).body, "\"data\":{\"submitStatus\":true}"));

  // The ticket is gone from the stock, and the order waits for payment.
  const auto after = client_.Query(v.date, kFrom, kTo);
  ASSERT_NE(FindTrain(after, v.train[3]), nullptr);
  EXPECT_EQ(FindTrain(after, v.train[3])->at(30), "无");
  const SimAnswer orders = client_.Post(service_paths::kUnfinishedOrders, "_json_att=");
  const std::string& o = orders.body;
  EXPECT_EQ(Between(o, "sequence_no\":\"", "\","), v.orderId);
  EXPECT_EQ(Between(o, "ticket_totalnum\":", ","), "1");
  EXPECT_EQ(Between(o, "station_train_code\":\"", "\","), v.train[3]);
  EXPECT_EQ(Between(o, "train_no\":\"", "\"}"), v.train[2]);
  EXPECT_EQ(Between(o, "passenger_name\":\"", "\","), "张伟");
  EXPECT_EQ(Between(o, "from_station_name\":\"", "\","), kFromName);
  EXPECT_EQ(Between(o, "to_station_name\":\"", "\","), kToName);
  EXPECT_EQ(Between(o, "seat_type_name\":\"", "\","), "二等座");
  EXPECT_EQ(Between(o, "ticket_type_name\":\"", "\","), "成人票");
  EXPECT_EQ(Between(o, "start_time_page\":\"", "\","), v.train[8]);
  EXPECT_EQ(Between(o, "arrive_time_page\":\"", "\","), v.train[9]);
  EXPECT_EQ(Between(o, "start_train_date_page\":\"", "\",").substr(0, 10), v.date);
  for (const char* key : {"order_date\":\"", "str_ticket_price_page\":\"", "cancel_flag\":\"", "coach_name\":\"",
                          "seat_name\":\"", "lose_time\":\""}) {
    EXPECT_FALSE(Between(o, key, "\",").empty()) << key;
  }

  const std::string state = sim_.State();
  EXPECT_TRUE(Has(state, "\"orderId\":\"" + v.orderId + "\",\"account\":\"demo\",\"passenger_name\":\"张伟\""))
      << state;
  EXPECT_TRUE(Has(state, "\"train_code\":\"" + v.train[3] + "\",\"train_date\":\"" + v.date +
                             "\",\"from\":\"VNP\""
                             ",\"to\":\"AOH\",\"seat_type\":\"O\",\"ticket_type\":\"1\",\"status\":\"unpaid\""))
      << state;

  // One unpaid order is the default limit.
  const SimAnswer again = client_.SubmitOrderRequest(v);
  EXPECT_TRUE(Has(again.body, "messages\":[\"您还有未处理的订单，请您到[未完成订单]进行处理!\"]")) << again.body;
}

TEST_F(SimOrderTest, OrderPageCarriesTheDatesAsTheServiceWroteThem) {
  OrderValues v = PrepareOrder(sim_, client_, 1);
  ASSERT_FALSE(v.train.empty());
  const SimAnswer before = client_.InitDc(v);
  EXPECT_TRUE(Has(before.body, "var globalRepeatSubmitToken = '" + v.token + "';"));
  EXPECT_FALSE(Has(before.body, "leftTicketStr")) << "no order request is pending yet";

  client_.SubmitOrderRequest(v);
  const SimAnswer page = client_.InitDc(v);
  const std::string& html = page.body;
  const std::size_t end = html.find("'end_time':{");
  const std::size_t start = html.find("'start_time':{");
  const std::size_t date = html.find("'train_date':{");
  ASSERT_NE(date, std::string::npos);
  EXPECT_LT(end, start);
  EXPECT_LT(start, date);

  int y = 0, m = 0, d = 0;
  std::sscanf(v.date.c_str(), "%d-%d-%d", &y, &m, &d);
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  const long long midnight = static_cast<long long>(timegm(&tm)) * 1000 - 8LL * 3600 * 1000;
  EXPECT_EQ(v.trainDateMs, std::to_string(midnight));
  EXPECT_TRUE(Has(html, "'train_date':{'date':" + std::to_string(d) + ",'day':" + std::to_string(tm.tm_wday) +
                            ",'hours':0,'minutes':0,'month':" + std::to_string(m - 1) +
                            ",'seconds':0,'time':" + std::to_string(midnight) +
                            ",'timezoneOffset':-480,'year':" + std::to_string(y - 1900) + "}"))
      << html;
  // Departure time of day: milliseconds of that time on 1970-01-01, UTC+8.
  const int hh = std::stoi(v.train[8].substr(0, 2));
  const int mm = std::stoi(v.train[8].substr(3, 2));
  const long long departMs = (hh * 60LL + mm) * 60000 - 8LL * 3600 * 1000;
  EXPECT_TRUE(
      Has(html, "'start_time':{'date':1,'day':4,'hours':" + std::to_string(hh) + ",'minutes':" + std::to_string(mm) +
                    ",'month':0,'seconds':0,'time':" + std::to_string(departMs) + ",'timezoneOffset':-480,'year':70}"))
      << html;
}

TEST_F(SimOrderTest, AStudentOrdersAStudentTicket) {
  OrderValues v = PrepareOrder(sim_, client_, 2);
  ASSERT_FALSE(v.train.empty());
  UsePassenger(v, "王晓明", "3");
  v.ticketType = "3";
  v.purposeCodes = "0X00";
  EXPECT_TRUE(Has(client_.SubmitOrderRequest(v).body, "status\":true"));
  client_.InitDc(v);
  EXPECT_TRUE(Has(client_.CheckOrderInfo(v).body, "submitStatus\":true"));
  EXPECT_TRUE(Has(client_.GetQueueCount(v).body, "\"ticket\":\"2,0\""));
  EXPECT_TRUE(Has(client_.ConfirmSingleForQueue(v).body, "submitStatus\":true"));
  EXPECT_TRUE(Has(sim_.State(), "\"seat_type\":\"O\",\"ticket_type\":\"3\""));
}

// Each case runs the chain correctly up to one step, changes one value and
// expects that step's refusal.
enum class Step { kSubmit, kCheckOrderInfo, kQueueCount, kConfirm };

struct RefusalCase {
  const char* name;
  Step step;
  std::function<void(OrderValues&)> change;
  const char* expected;  // text the answer must hold
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class SimOrderRefusalTest : public SimOrderTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SimOrderRefusalTest, RefusesTheWrongValue) {
  const RefusalCase& c = GetParam();
  OrderValues v = PrepareOrder(sim_, client_, 3);
  ASSERT_FALSE(v.train.empty());
  UsePassenger(v, "张伟", "1");
  const auto run = [&](Step step) {
    if (step == Step::kCheckOrderInfo) client_.InitDc(v);
    if (step == c.step) c.change(v);
    switch (step) {
      case Step::kSubmit:
        return client_.SubmitOrderRequest(v).body;
      case Step::kCheckOrderInfo:
        return client_.CheckOrderInfo(v).body;
      case Step::kQueueCount:
        return client_.GetQueueCount(v).body;
      case Step::kConfirm:
        return client_.ConfirmSingleForQueue(v).body;
    }
    return std::string();
  };
  for (Step step : {Step::kSubmit, Step::kCheckOrderInfo, Step::kQueueCount, Step::kConfirm}) {
    const std::string body = run(step);
    if (step == c.step) {
      EXPECT_TRUE(Has(body, c.expected)) << body;
      EXPECT_FALSE(Has(body, "submitStatus\":true")) << body;
      if (step == Step::kSubmit || step == Step::kQueueCount) {
        EXPECT_TRUE(Has(body, "status\":false")) << body;
      }
      break;
    }
    ASSERT_TRUE(Has(body, "status\":true") && !Has(body, "submitStatus\":false")) << body;
  }
  EXPECT_TRUE(Has(sim_.State(), "\"bookings\":[]"));
}

const RefusalCase kRefusals[] = {
    {"UnknownSecretStr", Step::kSubmit, [](OrderValues& v) { v.train[0] = "QUJD%2B%2F%3D%3D"; }, "车票信息已过期"},
    {"SecretStrOfAnotherDate", Step::kSubmit, [](OrderValues& v) { v.date = ChinaDatePlusDays(6); },
     "车票信息与查询条件不符"},
    {"StationNameDiffers", Step::kSubmit, [](OrderValues& v) { v.fromName = "北京"; }, "车票信息与查询条件不符"},
    {"StationNamePercentEncoded", Step::kSubmit, [](OrderValues& v) { v.toName = UrlEncode(UrlEncode(v.toName)); },
     "车票信息与查询条件不符"},
    {"UnknownPurpose", Step::kSubmit, [](OrderValues& v) { v.purposeCodes = "00"; }, "车票信息与查询条件不符"},
    {"WrongToken", Step::kCheckOrderInfo, [](OrderValues& v) { v.token = "0123"; }, "请求已失效"},
    {"UnknownIdNumber", Step::kCheckOrderInfo, [](OrderValues& v) { v.idNo = "110105198503120000"; }, "乘车人信息有误"},
    {"NameLostInGbk", Step::kCheckOrderInfo, [](OrderValues& v) { v.passengerName = "陈?"; }, "乘车人信息有误"},
    {"WrongPassengerType", Step::kCheckOrderInfo, [](OrderValues& v) { v.passengerType = "3"; }, "乘车人信息有误"},
    {"StudentTicketForAdult", Step::kCheckOrderInfo, [](OrderValues& v) { v.ticketType = "3"; }, "学生票"},
    {"UnknownTicketType", Step::kCheckOrderInfo, [](OrderValues& v) { v.ticketType = "5"; }, "票种有误"},
    {"SeatClassTheTrainLacks", Step::kCheckOrderInfo, [](OrderValues& v) { v.seatType = "3"; }, "所选席别"},
    {"StandingCannotBeOrdered", Step::kCheckOrderInfo, [](OrderValues& v) { v.seatType = "W"; }, "所选席别"},
    {"DateTextOfTheDepartureTime", Step::kQueueCount, [](OrderValues& v) { v.date = "1970-01-01"; },
     "排队信息与订单不符"},
    {"DateTextOneDayOff", Step::kQueueCount, [](OrderValues& v) { v.date = ChinaDatePlusDays(6); },
     "排队信息与订单不符"},
    {"OtherSeatType", Step::kQueueCount, [](OrderValues& v) { v.seatType = "M"; }, "排队信息与订单不符"},
    {"LeftTicketDecodedTwice", Step::kQueueCount, [](OrderValues& v) { v.train[12] = UrlEncode(v.train[12]); },
     "排队信息与订单不符"},
    {"WrongKeyCheck", Step::kConfirm, [](OrderValues& v) { v.keyCheck += "0"; }, "订单信息已变更"},
    {"LeftTicketStrNotEncoded", Step::kConfirm,
     [](OrderValues& v) {  // sent unencoded, its "+" arrive as spaces
       for (char& c : v.leftTicketStr) c = c == '+' ? ' ' : c;
     },
     "订单信息已变更"},
    {"WrongTrainLocation", Step::kConfirm, [](OrderValues& v) { v.train[15] = "V2"; }, "订单信息已变更"},
    {"OtherPassengerString", Step::kConfirm,
     [](OrderValues& v) { v.passengerTicketStr = UrlEncode("O,0,1,张伟,1," + v.idNo + ",13800000000,N"); },
     "订单信息已变更"},
    {"ConfirmWithStaleToken", Step::kConfirm, [](OrderValues& v) { v.token = "stale"; }, "请求已失效"},
};

INSTANTIATE_TEST_SUITE_P(Steps, SimOrderRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(SimOrderTest, NoTicketLeftIsRefusedAtConfirmation) {
  OrderValues v = PrepareOrder(sim_, client_, 1);
  ASSERT_FALSE(v.train.empty());
  UsePassenger(v, "李娜", "1");
  client_.SubmitOrderRequest(v);
  client_.InitDc(v);
  client_.CheckOrderInfo(v);
  sim_.Release(v.date, v.train[3], "O", 0);  // sold elsewhere meanwhile
  const SimAnswer queue = client_.GetQueueCount(v);
  EXPECT_TRUE(Has(queue.body, "\"ticket\":\"0,0\"")) << queue.body;
  const SimAnswer confirm = client_.ConfirmSingleForQueue(v);
  EXPECT_TRUE(Has(confirm.body, "\"data\":{\"errMsg\":\"余票不足！\",\"submitStatus\":false}")) << confirm.body;
  EXPECT_TRUE(Has(sim_.State(), "\"bookings\":[]"));
}

// Two passengers on one order: their pieces joined by "_" in both strings.
class SimPartyOrderTest : public SimOrderTest {
 protected:
  // Runs the chain up to the confirmation for 张伟 and 李娜 with `tickets` released.
  SimAnswer ConfirmParty(OrderValues& v, int tickets) {
    v = PrepareOrder(sim_, client_, tickets);
    if (v.train.empty()) return {};
    OrderValues page;
    client_.InitDc(page);
    const std::string list =
        client_.Post(service_paths::kPassengers, "_json_att=&REPEAT_SUBMIT_TOKEN=" + page.token).body;
    const std::string first = PassengerIdNo(list, "张伟");
    const std::string second = PassengerIdNo(list, "李娜");
    client_.SubmitOrderRequest(v);
    client_.InitDc(v);
    v.passengerTicketStr = UrlEncode("O,0,1,张伟,1," + first + ",,N_O,0,1,李娜,1," + second + ",,N");
    v.oldPassengerStr = UrlEncode("张伟,1," + first + ",1") + "_" + UrlEncode("李娜,1," + second + ",1") + "_";
    const SimAnswer check = client_.Post(
        service_paths::kCheckOrderInfo,
        "cancel_flag=2&bed_level_order_num=000000000000000000000000000000&passengerTicketStr=" + v.passengerTicketStr +
            "&oldPassengerStr=" + v.oldPassengerStr +
            "&tour_flag=dc&randCode=&_json_att=&REPEAT_SUBMIT_TOKEN=" + v.token);
    EXPECT_TRUE(Has(check.body, "submitStatus\":true")) << check.body;
    client_.GetQueueCount(v);
    return client_.ConfirmSingleForQueue(v);
  }
};

TEST_F(SimPartyOrderTest, TwoTicketsBookThePartyOnOneOrder) {
  OrderValues v;
  ASSERT_TRUE(Has(ConfirmParty(v, 2).body, "\"data\":{\"submitStatus\":true}"));
  while (v.orderId.empty()) client_.QueryOrderWaitTime(v);
  EXPECT_TRUE(Has(client_.ResultOrderForDcQueue(v).body, "submitStatus\":true"));

  const std::string state = sim_.State();
  const std::string prefix = "{\"orderId\":\"" + v.orderId + "\",\"account\":\"demo\",\"passenger_name\":";
  EXPECT_TRUE(Has(state, prefix + "\"张伟\"")) << state;
  EXPECT_TRUE(Has(state, prefix + "\"李娜\"")) << state;
  EXPECT_EQ(sim_.Get("/sim/stock?date=" + v.date + "&train=" + v.train[3] + "&seat=O"), "{\"count\":0}");

  const std::string orders = client_.Post(service_paths::kUnfinishedOrders, "_json_att=").body;
  EXPECT_EQ(Between(orders, "ticket_totalnum\":", ","), "2") << orders;
  EXPECT_TRUE(Has(orders, "\"array_passser_name_page\":[\"张伟\",\"李娜\"]")) << orders;
}

TEST_F(SimPartyOrderTest, OneTicketForTwoIsRefusedAndNothingIsBooked) {
  OrderValues v;
  const SimAnswer confirm = ConfirmParty(v, 1);
  EXPECT_TRUE(Has(confirm.body, "\"data\":{\"errMsg\":\"余票不足！\",\"submitStatus\":false}")) << confirm.body;
  EXPECT_TRUE(Has(sim_.State(), "\"bookings\":[]"));
  EXPECT_EQ(sim_.Get("/sim/stock?date=" + v.date + "&train=" + v.train[3] + "&seat=O"), "{\"count\":1}");
}

TEST_F(SimPartyOrderTest, ThePartyIsCheckedAsAWhole) {
  OrderValues v = PrepareOrder(sim_, client_, 5);
  ASSERT_FALSE(v.train.empty());
  UsePassenger(v, "张伟", "1");
  const std::string one = "O,0,1,张伟,1," + v.idNo + ",,N";
  const std::string old = UrlEncode("张伟,1," + v.idNo + ",1") + "_";
  client_.SubmitOrderRequest(v);
  client_.InitDc(v);
  const auto check = [&](const std::string& tickets, const std::string& olds) {
    return client_
        .Post(service_paths::kCheckOrderInfo,
              "cancel_flag=2&bed_level_order_num=000000000000000000000000000000&passengerTicketStr=" +
                  UrlEncode(tickets) + "&oldPassengerStr=" + olds +
                  "&tour_flag=dc&randCode=&_json_att=&REPEAT_SUBMIT_TOKEN=" + v.token)
        .body;
  };
  std::string six = one;
  std::string sixOld = old;
  for (int i = 0; i < 5; ++i) {
    six += "_" + one;
    sixOld += old;
  }
  EXPECT_TRUE(Has(check(one + "_" + one, old + old), "乘车人信息有误")) << "the same passenger twice";
  EXPECT_TRUE(Has(check(one + "_" + one, old), "乘车人信息有误")) << "strings of different lengths";
  EXPECT_TRUE(Has(check(six, sixOld), "乘车人信息有误")) << "more than five";
  EXPECT_TRUE(Has(check(one, old), "submitStatus\":true"));
}

TEST_F(SimOrderTest, WaitAndResultNeedTheSessionsOrder) {
  OrderValues v = PrepareOrder(sim_, client_, 1);
  ASSERT_FALSE(v.train.empty());
  client_.InitDc(v);
  EXPECT_TRUE(Has(client_.QueryOrderWaitTime(v).body, "没有排队中的订单"));
  UsePassenger(v, "张伟", "1");
  client_.SubmitOrderRequest(v);
  client_.InitDc(v);
  client_.CheckOrderInfo(v);
  client_.GetQueueCount(v);
  ASSERT_TRUE(Has(client_.ConfirmSingleForQueue(v).body, "submitStatus\":true"));
  while (v.orderId.empty()) client_.QueryOrderWaitTime(v);
  OrderValues wrong = v;
  wrong.orderId = "E000000000";
  EXPECT_TRUE(Has(client_.ResultOrderForDcQueue(wrong).body, "订单号有误"));
  EXPECT_TRUE(Has(sim_.State(), "\"status\":\"queued\""));
  EXPECT_TRUE(Has(client_.ResultOrderForDcQueue(v).body, "submitStatus\":true"));
  EXPECT_TRUE(Has(sim_.State(), "\"status\":\"unpaid\""));
}

TEST(SimOrderLimits, MaxUnpaidCountsOrdersStillInTheQueue) {
  SimProcess sim({"--max-unpaid", "2", "--release-every", "0"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  ASSERT_TRUE(client.SignIn());
  OrderValues v = PrepareOrder(sim, client, 5);
  ASSERT_FALSE(v.train.empty());
  OrderValues page;
  client.InitDc(page);
  v.idNo = PassengerIdNo(client.Post(service_paths::kPassengers, "_json_att=&REPEAT_SUBMIT_TOKEN=" + page.token).body,
                         "张伟");
  for (int order = 0; order < 2; ++order) {
    ASSERT_TRUE(Has(client.SubmitOrderRequest(v).body, "status\":true"));
    client.InitDc(v);
    client.CheckOrderInfo(v);
    client.GetQueueCount(v);
    ASSERT_TRUE(Has(client.ConfirmSingleForQueue(v).body, "submitStatus\":true"));
  }
  EXPECT_TRUE(Has(client.SubmitOrderRequest(v).body, "您还有未处理的订单"));
}

}  // namespace
}  // namespace quillet::test
