// The client against the rehearsal service: what the service received for
// each operation (path, query, body bytes, header lines, cookies), and how
// the client reads what came back, up to a booked ticket.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "booking/client.h"
#include "booking/date_text.h"
#include "booking/requests.h"
#include "booking/service_paths.h"
#include "booking/texts.h"
#include "net/cookies.h"
#include "net/encoding.h"
#include "support/sim_harness.h"
#include "support/sim_steps.h"
#include "util/codepage.h"
#include "util/text.h"

namespace quillet {
namespace {

using test::SimRequest;
namespace texts = booking_texts;

std::string G(std::u8string_view text) { return Gbk(text); }
std::string U(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

// Every line of a header block arrived with its value; the spacing after the
// colon is the block's own business (the wire has one form).
void ExpectBlockSent(const SimRequest& request, const std::string& block) {
  for (const std::string& line : SplitText(block, "\r\n")) {
    const std::size_t colon = line.find(':');
    ASSERT_NE(colon, std::string::npos) << line;
    const std::string name = TrimSpaces(line.substr(0, colon));
    EXPECT_EQ(request.Header(name), TrimSpaces(line.substr(colon + 1))) << request.path << " " << name;
  }
}

// The rehearsal service waits out an idle kept-alive connection (up to its
// 5 s keep-alive limit) before it ends, so these single-thread tests do not
// keep connections; the concurrency test runs with reuse on.
class ClientOnSim : public ::testing::Test {
 protected:
  ClientOnSim() { client_.SetReuseConnections(false); }

  std::vector<SimRequest> Received() const { return test::ParseSimRequests(sim_.Requests()); }
  // The requests received since the last call.
  std::vector<SimRequest> ReceivedSinceLast() {
    std::vector<SimRequest> all = Received();
    std::vector<SimRequest> fresh(all.begin() + static_cast<std::ptrdiff_t>(std::min(seen_, all.size())), all.end());
    seen_ = all.size();
    return fresh;
  }

  test::SimProcess sim_;
  CookieJar jar_;
  BookingClient client_{sim_.BaseUrl(), jar_};
  HeaderBlocks blocks_{sim_.BaseUrl()};
  std::size_t seen_ = 0;
};

TEST_F(ClientOnSim, CaptchaFetchOpensTheLoginPageThenTheSamePictureAddress) {
  ASSERT_TRUE(sim_.Running());
  const std::string picture = client_.FetchCaptcha().picture;
  ASSERT_GT(picture.size(), 2u);
  EXPECT_EQ(picture.substr(0, 2), "\xFF\xD8");  // the JPEG as sent
  const std::string jarAfterFirst = jar_.Text();
  EXPECT_FALSE(test::CookieValue(jarAfterFirst, "JSESSIONID").empty());
  client_.FetchCaptcha();

  const std::vector<SimRequest> requests = Received();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].path, service_paths::kLoginPage);
  EXPECT_EQ(requests[0].query, "");
  EXPECT_FALSE(requests[0].HasHeader("Cookie"));
  ExpectBlockSent(requests[0], blocks_.page);
  for (const std::size_t i : {1u, 3u}) {
    EXPECT_EQ(requests[i].method, "GET");
    EXPECT_EQ(requests[i].path, service_paths::kCaptchaPicturePath);
    EXPECT_EQ(requests[i].query, "module=login&rand=sjrand&0.18218983666535804");
    ExpectBlockSent(requests[i], blocks_.captcha);
  }
  EXPECT_EQ(test::CookieValue(requests[1].Header("Cookie"), "JSESSIONID"),
            test::CookieValue(jarAfterFirst, "JSESSIONID"));
}

TEST_F(ClientOnSim, LoginStopsAtAWrongCaptchaOrARefusedPassword) {
  ASSERT_FALSE(client_.FetchCaptcha().picture.empty());
  ReceivedSinceLast();
  const std::string session = test::CookieValue(jar_.Text(), "JSESSIONID");
  std::vector<int> wrongCells;
  for (const int cell : sim_.CaptchaCells(session)) wrongCells.push_back(cell == 8 ? 1 : cell + 1);
  const ServiceResult wrongCaptcha = client_.Login("demo", "demo1234", test::CaptchaAnswer(wrongCells));
  EXPECT_EQ(wrongCaptcha.kind, ServiceResultKind::kCaptchaRefused);
  EXPECT_EQ(wrongCaptcha.message, texts::CaptchaWrong());
  std::vector<SimRequest> sent = ReceivedSinceLast();
  ASSERT_EQ(sent.size(), 1u);  // name and password were never sent
  EXPECT_EQ(sent[0].body, "randCode=" + test::CaptchaAnswer(wrongCells) + "&rand=sjrand");

  ASSERT_FALSE(client_.FetchCaptcha().picture.empty());
  ReceivedSinceLast();
  const std::string answer = test::CaptchaAnswer(sim_.CaptchaCells(session));
  const ServiceResult wrongPassword = client_.Login("demo", "wrong", answer);
  EXPECT_EQ(wrongPassword.kind, ServiceResultKind::kRefused);
  EXPECT_EQ(wrongPassword.message, G(u8"密码输入错误。如果输错次数超过4次，用户将被锁定。"));
  sent = ReceivedSinceLast();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].path, service_paths::kLogin);
  EXPECT_EQ(client_.CheckUser().kind, ServiceResultKind::kRefused);
}

TEST_F(ClientOnSim, LoginSendsItsThreeFormsAndSignsIn) {
  ASSERT_FALSE(client_.FetchCaptcha().picture.empty());
  const std::string session = test::CookieValue(jar_.Text(), "JSESSIONID");
  const std::string answer = test::CaptchaAnswer(sim_.CaptchaCells(session));
  ReceivedSinceLast();
  const std::string jarBefore = jar_.Text();

  ASSERT_TRUE(client_.Login("demo", "demo1234", answer).Done());

  const std::vector<SimRequest> sent = ReceivedSinceLast();
  ASSERT_GE(sent.size(), 3u);  // the confirmation's redirect may add a page fetch
  const struct {
    const char* path;
    std::string body;
  } expected[] = {
      {service_paths::kCaptchaCheck, "randCode=" + answer + "&rand=sjrand"},
      {service_paths::kLogin, "loginUserDTO.user_name=demo&userDTO.password=demo1234&randCode=" + answer},
      {service_paths::kLoginConfirm, "_json_att="},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(sent[i].method, "POST");
    EXPECT_EQ(sent[i].path, expected[i].path);
    EXPECT_EQ(sent[i].body, expected[i].body);
    ExpectBlockSent(sent[i], blocks_.xhr);
  }
  EXPECT_EQ(sent[0].Header("Cookie"), jarBefore);

  EXPECT_TRUE(client_.CheckUser().Done());
  const std::vector<SimRequest> check = ReceivedSinceLast();
  ASSERT_EQ(check.size(), 1u);
  EXPECT_EQ(check[0].path, service_paths::kCheckUser);
  EXPECT_EQ(check[0].body, "_json_att=");
  EXPECT_FALSE(test::CookieValue(check[0].Header("Cookie"), "tk").empty());
}

// Reserved characters and Chinese in the account name and the password
// reach the service intact, so the login succeeds.
TEST(ClientOnSimAccounts, NameAndPasswordArePercentEncoded) {
  test::SimProcess sim({"--account", U(u8"张三@x:p&w+%=中 x")});
  ASSERT_TRUE(sim.Running());
  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  client.SetReuseConnections(false);
  ASSERT_TRUE(test::SignIn(client, sim, G(u8"张三@x"), G(u8"p&w+%=中 x")));
  bool found = false;
  for (const SimRequest& request : test::ParseSimRequests(sim.Requests())) {
    if (request.path != service_paths::kLogin) continue;
    found = true;
    EXPECT_EQ(request.body.substr(0, request.body.find("&randCode=")),
              "loginUserDTO.user_name=%E5%BC%A0%E4%B8%89%40x&userDTO.password=p%26w%2B%25%3D%E4%B8%AD%20x");
  }
  EXPECT_TRUE(found);
  EXPECT_TRUE(client.CheckUser().Done());
}

TEST_F(ClientOnSim, PassengersNeedASignedInSession) {
  const PassengersResult result = client_.LoadPassengers();
  EXPECT_EQ(result.kind, ServiceResultKind::kRefused);
  EXPECT_EQ(result.message, G(u8"用户未登录"));
  EXPECT_TRUE(result.passengers.empty());
  EXPECT_EQ(client_.LastResponse(), G(u8"用户未登录"));
}

TEST_F(ClientOnSim, PassengersComeWithThePageToken) {
  ASSERT_TRUE(test::SignIn(client_, sim_));
  ReceivedSinceLast();
  const PassengersResult loaded = client_.LoadPassengers();
  ASSERT_TRUE(loaded.Done());
  const std::vector<PassengerRecord>& list = loaded.passengers;
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].passenger_name, G(u8"张伟"));
  EXPECT_EQ(list[0].sex_name, G(u8"男"));
  EXPECT_EQ(list[0].passenger_id_type_code, "1");
  EXPECT_EQ(list[0].passenger_id_type_name, G(u8"二代身份证"));
  EXPECT_EQ(list[0].passenger_id_no.size(), 18u);
  EXPECT_EQ(list[0].passenger_type, "1");
  EXPECT_EQ(list[0].passenger_type_name, G(u8"成人"));
  EXPECT_EQ(list[0].mobile_no, "13812345678");
  EXPECT_EQ(list[2].passenger_type, "3");
  // A character outside GBK keeps a form that converts back, not a replacement.
  EXPECT_EQ(Utf8FromGbk(list[3].passenger_name), U(u8"陈𠮷"));

  const std::vector<SimRequest> sent = ReceivedSinceLast();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].path, service_paths::kOrderPage);
  EXPECT_EQ(sent[0].body, "_json_att=");
  ExpectBlockSent(sent[0], blocks_.xhr);
  const std::string token = client_.RepeatSubmitToken();
  EXPECT_FALSE(token.empty());
  EXPECT_EQ(sent[1].path, service_paths::kPassengers);
  EXPECT_EQ(sent[1].body, "_json_att=&REPEAT_SUBMIT_TOKEN=" + token);
  ExpectBlockSent(sent[1], blocks_.passenger);
  EXPECT_EQ(sent[1].Header("Cookie"), jar_.Text());

  // A second call gives the same list again.
  const PassengersResult again = client_.LoadPassengers();
  ASSERT_TRUE(again.Done());
  ASSERT_EQ(again.passengers.size(), 4u);
  EXPECT_EQ(again.passengers[0].passenger_name, list[0].passenger_name);
}

TEST_F(ClientOnSim, LeftTicketQuerySendsEachStationOnItsOwn) {
  const std::string date = test::ChinaDate(3);
  struct Case {
    std::string from, to;
    bool student;
    std::string sentFrom, sentTo, purpose;
  } cases[] = {
      {G(u8"北京|BJP"), G(u8"上海|SHH"), false, "BJP", "SHH", "ADULT"},
      {"BJP", G(u8"上海|SHH"), true, "BJP", "SHH", "0X00"},
      {G(u8"北京|BJP"), "SHH", false, "BJP", "SHH", "ADULT"},
  };
  for (Case& c : cases) {
    const TrainsResult result = client_.QueryLeftTickets(c.student, date, c.from, c.to);
    ASSERT_TRUE(result.Done());
    const std::vector<TrainRecord>& records = result.trains;
    ASSERT_GE(records.size(), 8u);
    for (const TrainRecord& train : records) {
      EXPECT_EQ(train.fromTelecode, "BJP");
      EXPECT_EQ(train.fromStationName, G(u8"北京"));
      EXPECT_EQ(train.toStationName, G(u8"上海"));
      EXPECT_FALSE(train.secretStr.empty());
    }
    const std::vector<SimRequest> sent = ReceivedSinceLast();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "GET");
    EXPECT_EQ(sent[0].path, service_paths::kLeftTicketQuery);
    EXPECT_EQ(sent[0].query, "leftTicketDTO.train_date=" + date + "&leftTicketDTO.from_station=" + c.sentFrom +
                                 "&leftTicketDTO.to_station=" + c.sentTo + "&purpose_codes=" + c.purpose);
    EXPECT_EQ(sent[0].body, "");
    ExpectBlockSent(sent[0], blocks_.query);
  }
}

TEST_F(ClientOnSim, LeftTicketRefusalsComeBackAsTheirMessage) {
  std::string from = G(u8"北京"), to = "SHH";
  const TrainsResult result = client_.QueryLeftTickets(false, test::ChinaDate(2), from, to);
  EXPECT_EQ(result.kind, ServiceResultKind::kRefused);
  EXPECT_FALSE(result.message.empty());
  EXPECT_TRUE(result.trains.empty());
  const std::vector<SimRequest> sent = ReceivedSinceLast();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_NE(sent[0].query.find("from_station=%E5%8C%97%E4%BA%AC&"), std::string::npos);  // encoded, not raw

  from = "BJP";
  const TrainsResult late = client_.QueryLeftTickets(false, test::ChinaDate(60), from, to);
  EXPECT_EQ(late.kind, ServiceResultKind::kRefused);
  EXPECT_EQ(late.message, G(u8"选择的查询日期不在预售日期范围内"));
  EXPECT_EQ(client_.LastResponse(), G(u8"选择的查询日期不在预售日期范围内"));
  EXPECT_TRUE(late.trains.empty());
}

// A query for some trains only sends the same request and gives the records
// and the last response of the whole query, for those trains only.
TEST_F(ClientOnSim, LeftTicketQueryForSomeTrains) {
  const std::string date = test::ChinaDate(3);
  const TrainsResult all = client_.QueryLeftTickets(false, date, "BJP", "SHH");
  ASSERT_TRUE(all.Done());
  ASSERT_GE(all.trains.size(), 3u);
  const std::string allResponse = client_.LastResponse();
  const std::vector<SimRequest> allSent = ReceivedSinceLast();

  const std::vector<std::string> wanted = {all.trains[2].stationTrainCode, "X9999", all.trains[0].stationTrainCode};
  const TrainsResult some = client_.QueryLeftTickets(false, date, "BJP", "SHH", {}, wanted);
  ASSERT_TRUE(some.Done());
  ASSERT_EQ(some.trains.size(), 2u);
  EXPECT_EQ(some.trains[0].stationTrainCode, all.trains[0].stationTrainCode);  // the answer's order
  EXPECT_EQ(some.trains[0].secretStr, all.trains[0].secretStr);
  EXPECT_EQ(some.trains[1].leftTicket, all.trains[2].leftTicket);
  EXPECT_EQ(client_.LastResponse(), allResponse);
  const std::vector<SimRequest> someSent = ReceivedSinceLast();
  ASSERT_EQ(someSent.size(), 1u);
  EXPECT_EQ(someSent[0].query, allSent[0].query);

  const std::vector<std::string> late = {"G1"};
  const TrainsResult refused = client_.QueryLeftTickets(false, test::ChinaDate(60), "BJP", "SHH", {}, late);
  EXPECT_EQ(refused.kind, ServiceResultKind::kRefused);
  EXPECT_EQ(client_.LastResponse(), G(u8"选择的查询日期不在预售日期范围内"));
}

// The seat class of a train that has it, with the record field that counts it.
struct SeatChoice {
  const char* code;
  std::string TrainRecord::*count;
};
constexpr SeatChoice kSeatChoices[] = {
    {"O", &TrainRecord::secondClassSeat}, {"1", &TrainRecord::hardSeat}, {"3", &TrainRecord::hardSleeper}};

TEST_F(ClientOnSim, TheWholeChainBooksATicket) {
  const std::string date = test::ChinaDate(3);
  ASSERT_TRUE(test::SignIn(client_, sim_));
  const PassengersResult loaded = client_.LoadPassengers();
  ASSERT_TRUE(loaded.Done());
  const std::vector<PassengerRecord>& passengers = loaded.passengers;
  ASSERT_FALSE(passengers.empty());
  const PassengerRecord& passenger = passengers[0];

  // Pick a bookable train and put tickets of one of its classes on sale.
  std::string from = "BJP", to = "SHH";
  std::vector<TrainRecord> trains = client_.QueryLeftTickets(false, date, from, to).trains;
  ASSERT_FALSE(trains.empty());
  std::string trainCode;
  const SeatChoice* seat = nullptr;
  for (const TrainRecord& train : trains) {
    if (train.canWebBuy != "Y") continue;
    for (const SeatChoice& choice : kSeatChoices) {
      if (train.*choice.count == "--") continue;
      seat = &choice;
      break;
    }
    if (seat) {
      trainCode = train.stationTrainCode;
      break;
    }
  }
  ASSERT_NE(seat, nullptr);
  sim_.Release(date, Utf8FromGbk(trainCode), seat->code, 5);

  TrainsResult requery = client_.QueryLeftTickets(false, date, from, to);
  ASSERT_TRUE(requery.Done());
  trains = std::move(requery.trains);
  const TrainRecord* train = nullptr;
  for (const TrainRecord& t : trains)
    if (t.stationTrainCode == trainCode) train = &t;
  ASSERT_NE(train, nullptr);
  const std::string onSale = train->*seat->count;  // 5, or more when the service released some too
  EXPECT_TRUE(onSale != "--" && onSale != G(u8"无") && onSale != "0") << onSale;
  ReceivedSinceLast();

  ASSERT_TRUE(client_.CheckUser().Done());
  ASSERT_TRUE(
      client_.SubmitOrderRequest(train->secretStr, date, date, "ADULT", train->fromStationName, train->toStationName)
          .Done());
  const OrderPageResult page = client_.InitDc();
  ASSERT_TRUE(page.Done());
  const std::string token = page.values.repeatSubmitToken, leftTicketStr = page.values.leftTicketStr,
                    trainDateMs = page.values.trainDateMs, keyCheck = page.values.keyCheckIsChange;
  EXPECT_FALSE(token.empty());
  EXPECT_FALSE(keyCheck.empty());
  // The whole millisecond count of the date's midnight in China Standard Time.
  ASSERT_EQ(trainDateMs.size(), 13u);
  EXPECT_EQ(std::stoll(trainDateMs) % 86'400'000, 16 * 3'600'000);
  EXPECT_NE(BrowserDateText(trainDateMs).find("+00%3A00%3A00+GMT%2B0800"), std::string::npos);

  const OrderInfoResult info = client_.CheckOrderInfo(
      seat->code, "1",
      {passenger.passenger_name, passenger.passenger_type, passenger.passenger_id_type_code, passenger.passenger_id_no},
      token);
  ASSERT_TRUE(info.Done());
  const std::string ticketStr = info.passengerTicketStr, oldStr = info.oldPassengerStr;
  ASSERT_TRUE(client_
                  .GetQueueCount(trainDateMs, train->trainNo, train->stationTrainCode, seat->code, train->fromTelecode,
                                 train->toTelecode, train->leftTicket, "00", token)
                  .Done());
  ASSERT_TRUE(client_
                  .ConfirmSingleForQueue(ticketStr, oldStr, "", "00", keyCheck, leftTicketStr, train->trainLocation, "",
                                         "000", "00", "N", token)
                  .Done());
  std::string orderId;
  for (int poll = 0; poll < 10 && orderId.empty(); ++poll) {
    orderId = client_.QueryOrderWaitTime("dc", token).orderId;
    if (orderId.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_FALSE(orderId.empty());
  ASSERT_TRUE(client_.ResultOrderForDcQueue(orderId, token).Done());
  EXPECT_NE(sim_.State().find(orderId), std::string::npos);

  // What each step sent, byte for byte (bodies as UTF-8 on the wire).
  const std::vector<SimRequest> sent = ReceivedSinceLast();
  auto bodyOf = [&](const std::string& path) {
    for (const SimRequest& r : sent)
      if (r.path == path) return r;
    ADD_FAILURE() << "not sent: " << path;
    return SimRequest{};
  };
  const std::string trainDateText = BrowserDateText(trainDateMs);
  const std::string tokenPiece = "&_json_att=&REPEAT_SUBMIT_TOKEN=" + token;
  const struct {
    const char* path;
    std::string body;
  } expected[] = {
      {service_paths::kCheckUser, "_json_att="},
      {service_paths::kSubmitOrderRequest,
       Utf8FromGbk("secretStr=" + train->secretStr + "&train_date=" + date + "&back_train_date=" + date +
                   "&tour_flag=dc&purpose_codes=ADULT&query_from_station_name=" + train->fromStationName +
                   "&query_to_station_name=" + train->toStationName + "&undefined")},
      {service_paths::kOrderPage, "_json_att="},
      {service_paths::kCheckOrderInfo,
       "cancel_flag=2&bed_level_order_num=000000000000000000000000000000&passengerTicketStr=" + ticketStr +
           "&oldPassengerStr=" + oldStr + "&tour_flag=dc&randCode=" + tokenPiece},
      {service_paths::kQueueCount, "train_date=" + trainDateText + "&train_no=" + train->trainNo +
                                       "&stationTrainCode=" + trainCode + "&seatType=" + seat->code +
                                       "&fromStationTelecode=BJP&toStationTelecode=SHH&leftTicket=" +
                                       train->leftTicket + "&purpose_codes=00&train_location=V2" + tokenPiece},
      {service_paths::kConfirmSingleForQueue,
       "passengerTicketStr=" + ticketStr + "&oldPassengerStr=" + oldStr +
           "&randCode=&purpose_codes=00&key_check_isChange=" + keyCheck + "&leftTicketStr=" + UrlEncode(leftTicketStr) +
           "&train_location=" + train->trainLocation +
           "&choose_seats=&seatDetailType=000&whatsSelect=1&roomType=00&dwAll=N" + tokenPiece},
      {service_paths::kOrderResult, "orderSequence_no=" + orderId + tokenPiece},
  };
  for (const auto& step : expected) {
    const SimRequest request = bodyOf(step.path);
    EXPECT_EQ(request.method, "POST") << step.path;
    EXPECT_EQ(request.body, step.body) << step.path;
    ExpectBlockSent(request, blocks_.xhr);
    EXPECT_EQ(request.Header("Cookie").empty(), false) << step.path;
  }
  EXPECT_EQ(ticketStr, PassengerTicketText(seat->code, "1", passenger.passenger_name, "1", passenger.passenger_id_no));
  const SimRequest wait = bodyOf(service_paths::kOrderWaitTime);
  EXPECT_EQ(wait.method, "GET");
  ExpectBlockSent(wait, blocks_.xhr);
  const std::string random = TextBetween(wait.query, "random=", "&");
  EXPECT_EQ(random.size(), 13u);
  EXPECT_EQ(wait.query, "random=" + random + "&tourFlag=dc" + tokenPiece);
}

}  // namespace
}  // namespace quillet
