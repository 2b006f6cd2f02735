// The answer readers on fixed answers: which kind each answer is, which
// reason comes back, and what is cut out.
#include "booking/answers.h"
#include "booking/uncompleted_order.h"
#include "built_in_stations.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "booking/texts.h"
#include "util/codepage.h"

namespace quillet {

// Failures show a verdict's kind and words.
void PrintTo(const AnswerVerdict& verdict, std::ostream* out) {
  *out << "kind " << static_cast<int>(verdict.kind) << ", reason \"" << Utf8FromGbk(verdict.reason) << "\"";
}

namespace {

namespace texts = booking_texts;

std::string G(std::u8string_view text) { return Gbk(text); }

const AnswerVerdict kAccepted{AnswerKind::kAccepted, {}};
const AnswerVerdict kNoValidAnswer{AnswerKind::kNoValidAnswer, {}};
AnswerVerdict Refused(std::string reason) { return {AnswerKind::kRefused, std::move(reason)}; }
AnswerVerdict Kind(AnswerKind kind, std::string reason = {}) { return {kind, std::move(reason)}; }

// A train text with `pieces` pieces; piece i is "p<i>" unless set below.
std::string TrainText(int pieces, const std::string& from = "VAP", const std::string& to = "SHH") {
  std::string text;
  for (int i = 0; i < pieces; ++i) {
    if (i) text += '|';
    if (i == 6)
      text += from;
    else if (i == 7)
      text += to;
    else
      text += "p" + std::to_string(i);
  }
  return text;
}

class AnswerReaders : public ::testing::Test {
 protected:
  static inline const StationDirectory* const stations_ = &test::BuiltInStations();
};

TEST_F(AnswerReaders, LeftTicketsReadsEveryFullTrainAndNamesItsStations) {
  std::string answer = R"({"data":{"flag":"1","map":{},"result":[")" + TrainText(36) + R"(", ")" + TrainText(20) +
                       R"(",")" + TrainText(33, "QQQ", "BJP") + R"("]},"messages":"","status":true})";
  std::vector<TrainRecord> records(1);  // appended to, not replaced
  EXPECT_EQ(ReadLeftTickets(answer, *stations_, records), kAccepted);
  ASSERT_EQ(records.size(), 3u);  // the 20-piece text is skipped

  const TrainRecord& first = records[1];
  EXPECT_EQ(first.secretStr, "p0");
  EXPECT_EQ(first.trainNo, "p2");
  EXPECT_EQ(first.stationTrainCode, "p3");
  EXPECT_EQ(first.fromTelecode, "VAP");
  EXPECT_EQ(first.fromStationName, G(u8"北京北"));
  EXPECT_EQ(first.toStationName, G(u8"上海"));
  EXPECT_EQ(first.startTime, "p8");
  EXPECT_EQ(first.arriveTime, "p9");
  EXPECT_EQ(first.duration, "p10");
  EXPECT_EQ(first.canWebBuy, "p11");
  EXPECT_EQ(first.leftTicket, "p12");
  EXPECT_EQ(first.trainLocation, "p15");
  EXPECT_EQ(first.deluxeSoftSleeper, "p20");
  EXPECT_EQ(first.otherSeat, "p22");
  EXPECT_EQ(first.softSleeper, "p23");
  EXPECT_EQ(first.softSeat, "p24");
  EXPECT_EQ(first.seatCount25, "p25");
  EXPECT_EQ(first.noSeat, "p26");
  EXPECT_EQ(first.hardSleeper, "p28");
  EXPECT_EQ(first.hardSeat, "p29");
  EXPECT_EQ(first.secondClassSeat, "p30");
  EXPECT_EQ(first.firstClassSeat, "p31");
  EXPECT_EQ(first.businessSeat, "p32");

  EXPECT_EQ(records[2].fromStationName, "QQQ");  // unknown telecode stays as the name
  EXPECT_EQ(records[2].toStationName, G(u8"北京"));
  EXPECT_EQ(answer.substr(0, 3), "\"p0");  // cut down to the result list
}

TEST_F(AnswerReaders, TrainTextsSplitAtCharacterStartsOnly) {
  // 0x81 0x7C is one GBK character whose second byte is the "|" byte; spaces
  // around a quoted train text are not part of it.
  std::string text = TrainText(33);
  text.replace(text.find("p1|"), 2, "\x81\x7C");
  std::string answer = R"({"data":{"result":[ ")" + text + R"( " ]}})";
  std::vector<TrainRecord> records;
  EXPECT_EQ(ReadLeftTickets(answer, *stations_, records), kAccepted);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].trainNo, "p2");
  EXPECT_EQ(records[0].businessSeat, "p32");
}

TEST_F(AnswerReaders, LeftTicketsNeedsTheResultList) {
  struct Case {
    std::string answer;
    AnswerVerdict result;
  } cases[] = {
      {R"({"data":{"result":[]},"messages":"","status":true})", kAccepted},
      {Gbk(u8R"({"status":false,"messages":["选择的查询日期不在预售日期范围内"]})"),
       Refused(G(u8"选择的查询日期不在预售日期范围内"))},
      {Gbk(u8R"({"status":false,"messages":["用户未登录"]})"), Kind(AnswerKind::kNotSignedIn, G(u8"用户未登录"))},
      {"", kNoValidAnswer},
      {"<html><body>502 Bad Gateway</body></html>", kNoValidAnswer},
      {R"({"data":{"flag":"1","result":[")" + TrainText(36), kNoValidAnswer},  // cut short
  };
  for (Case& c : cases) {
    std::vector<TrainRecord> records;
    EXPECT_EQ(ReadLeftTickets(c.answer, *stations_, records), c.result) << c.answer;
    EXPECT_TRUE(records.empty());
  }
}

TEST(ExtractItemsBetween, QuotedWordsAlternateWithTheirSeparator) {
  std::vector<std::string> items{"old"};
  EXPECT_EQ(ExtractItemsBetween(R"("ab", "cd")", "\"", "\"", items), 3);
  EXPECT_EQ(items, (std::vector<std::string>{"ab", ",", "cd"}));

  // only items shorter than maxLength are kept, counted with their additions
  EXPECT_EQ(ExtractItemsBetween("[A] [bb] [ccc]", "[", "]", items, false, 5, "<", ">", true, false), 1);
  EXPECT_EQ(items, (std::vector<std::string>{"[<A>"}));
  EXPECT_EQ(ExtractItemsBetween("xAy xay", "X", "Y", items, true), 0);
  EXPECT_EQ(ExtractItemsBetween("xAy xay", "X", "Y", items), 2);
  EXPECT_EQ(ExtractItemsBetween("abc", "", "c", items), 0);  // an empty marker ends at once
  EXPECT_EQ(ExtractItemsBetween("abc", "a", "", items), 0);
}

TEST_F(AnswerReaders, PassengersNeedAListAnswer) {
  const std::string one =
      R"({"code":"1","passenger_name":"NAME","sex_code":"M","sex_name":"SEX","born_date":"1990",)"
      R"("passenger_id_type_code":"1","passenger_id_type_name":"IDTYPE","passenger_id_no":"ID",)"
      R"("passenger_type":"3","passenger_flag":"0","passenger_type_name":"TYPENAME","mobile_no":"138",)"
      R"("phone_no":"","email":"","address":""})";
  std::string answer = R"({"status":true,"data":{"normal_passengers":[)" + one + "," + one + R"(]},"messages":[]})";
  std::vector<PassengerRecord> list(1);
  EXPECT_EQ(ReadPassengers(answer, list), kAccepted);
  ASSERT_EQ(list.size(), 3u);
  const PassengerRecord& p = list[1];
  EXPECT_EQ(p.passenger_name, "NAME");
  EXPECT_EQ(p.sex_name, "SEX");
  EXPECT_EQ(p.passenger_id_type_code, "1");
  EXPECT_EQ(p.passenger_id_type_name, "IDTYPE");
  EXPECT_EQ(p.passenger_id_no, "ID");
  EXPECT_EQ(p.passenger_type, "3");
  EXPECT_EQ(p.passenger_type_name, "TYPENAME");
  EXPECT_EQ(p.mobile_no, "138");

  struct Case {
    std::string answer;
    AnswerVerdict result;
    std::string kept;  // what the answer is cut down to
  } refusals[] = {
      {Gbk(u8R"({"status":false,"messages":["用户未登录"]})"), Kind(AnswerKind::kNotSignedIn, G(u8"用户未登录")),
       G(u8"用户未登录")},
      {Gbk(u8R"({"status":false,"messages":["系统忙"]})"), Refused(G(u8"系统忙")), G(u8"系统忙")},
      {"", kNoValidAnswer, ""},
      {"<html>error</html>", kNoValidAnswer, "<html>error</html>"},
      {R"({"status":false,"messages":[]})", kNoValidAnswer, R"({"status":false,"messages":[]})"},
  };
  for (Case& c : refusals) {
    std::vector<PassengerRecord> untouched;
    EXPECT_EQ(ReadPassengers(c.answer, untouched), c.result);
    EXPECT_EQ(c.answer, c.kept);
    EXPECT_TRUE(untouched.empty());
  }
}

TEST(OrderPage, ReadsTheWholeTrainDateAndTheOrderValues) {
  const std::string page =
      "var globalRepeatSubmitToken = 'tok123';\n"
      "var ticketInfoForPassengerForm={'key_check_isChange':'KEY9','leftTicketStr':'a%2Bb','limitBuySeatTicketDTO':{},"
      "'orderRequestDTO':{'end_time':{'time':14400000,'timezoneOffset':-480},"
      "'start_time':{'time':1440000,'timezoneOffset':-480},"
      "'train_date':{'date':12,'day':5,'hours':0,'minutes':0,'month':11,'seconds':0,'time':1765468800000,"
      "'timezoneOffset':-480,'year':125}},'train_location':'P2'};";
  OrderPageValues values;
  EXPECT_EQ(ReadInitDc(page, values), kAccepted);
  EXPECT_EQ(values.repeatSubmitToken, "tok123");
  EXPECT_EQ(values.leftTicketStr, "a%2Bb");
  EXPECT_EQ(values.keyCheckIsChange, "KEY9");
  EXPECT_EQ(values.trainDateMs, "1765468800000");  // not a time of day that begins with 14

  EXPECT_EQ(ReadTrainDateMs("'train_date':{'time':1404000000000}"), "1404000000000");
  EXPECT_EQ(ReadTrainDateMs("'start_time':{'time':14400000}"), "");
  EXPECT_EQ(ReadTrainDateMs("'train_date':{'date':1},'time':1765468800000"), "");  // outside the object
  EXPECT_EQ(ReadTrainDateMs("'train_date':{'time':1765"), "");                     // cut page

  OrderPageValues none;
  EXPECT_EQ(ReadInitDc("var globalRepeatSubmitToken = 'only';", none), kNoValidAnswer);
  EXPECT_EQ(none.repeatSubmitToken, "only");
  EXPECT_EQ(ReadInitDc("", none), kNoValidAnswer);
  EXPECT_EQ(none.repeatSubmitToken, "");
}

// Every verdict reader of the sign-in and the order steps: accepted,
// refused (with the service's words, the refusals the program acts on
// recognised), and garbled, cut or foreign answers.
TEST(AnswerKinds, EveryReaderOnAcceptedRefusedAndGarbledAnswers) {
  const std::string unpaid = Gbk(u8"您还有未处理的订单，请您到[未完成订单]进行处理!");
  const std::string lapsed = Gbk(u8"用户未登录");
  struct Case {
    AnswerVerdict (*read)(std::string_view);
    std::string answer;
    AnswerVerdict verdict;
  } cases[] = {
      {ReadCaptchaCheck, R"({"data":{"result":"1","msg":"TRUE"}})", kAccepted},
      {ReadCaptchaCheck, R"({"data":{"result":"0","msg":"FALSE"}})", Refused("")},
      {ReadCaptchaCheck, "", kNoValidAnswer},
      {ReadCaptchaCheck, "<html>502</html>", kNoValidAnswer},
      {ReadLogin, R"({"data":{"loginCheck":"Y"}})", kAccepted},
      {ReadLogin, R"({"status":false,"messages":["wrong password"]})", Refused("wrong password")},
      {ReadLogin, R"({"data":{"loginCheck":"N"}})", Refused("")},
      {ReadLogin, "", kNoValidAnswer},
      {ReadLogin, R"({"data":{"login)", kNoValidAnswer},
      {ReadCheckUser, R"({"data":{"flag":true}})", kAccepted},
      {ReadCheckUser, R"({"data":{"flag":false}})", Kind(AnswerKind::kNotSignedIn)},
      {ReadCheckUser, "", kNoValidAnswer},
      {ReadCheckUser, R"({"data":{"fla)", kNoValidAnswer},
      {ReadSubmitOrderRequest, R"({"status":true,"data":"N","messages":[]})", kAccepted},
      {ReadSubmitOrderRequest, R"({"status":false,"messages":["no"]})", Refused("no")},
      {ReadSubmitOrderRequest, R"({"status":false,"messages":["x status":true"]})", kAccepted},
      {ReadSubmitOrderRequest, R"({"status":false,"messages":[]})", kNoValidAnswer},
      {ReadSubmitOrderRequest, "", kNoValidAnswer},
      {ReadSubmitOrderRequest, R"({"status":false,"messages":[")" + lapsed + R"("]})",
       Kind(AnswerKind::kNotSignedIn, lapsed)},
      {ReadSubmitOrderRequest, R"({"status":false,"messages":[")" + unpaid + R"("]})",
       Kind(AnswerKind::kUnpaidOrderPending, unpaid)},
      {ReadCheckOrderInfo, R"({"data":{"submitStatus":true}})", kAccepted},
      {ReadCheckOrderInfo, R"({"data":{"errMsg":"bad","submitStatus":false}})", Refused("bad")},
      {ReadCheckOrderInfo, R"({"data":{"errMsg":")" + unpaid + R"(","submitStatus":false}})",
       Kind(AnswerKind::kUnpaidOrderPending, unpaid)},
      {ReadCheckOrderInfo, "<html>error</html>", kNoValidAnswer},
      {ReadConfirmSingleForQueue, R"({"data":{"submitStatus":true}})", kAccepted},
      {ReadConfirmSingleForQueue, R"({"data":{"errMsg":"none left","submitStatus":false}})", Refused("none left")},
      {ReadConfirmSingleForQueue, "", kNoValidAnswer},
      {ReadConfirmSingleForQueue, R"({"data":{"errMsg":"cut)", kNoValidAnswer},
      {ReadGetQueueCount, R"({"data":{"count":"1","ticket":"21,0","op_2":"false"},"status":true})", kAccepted},
      {ReadGetQueueCount, R"({"data":{"count":"9","ticket":"0,0","op_2":"true"},"status":true})",
       Kind(AnswerKind::kQueueLongerThanStock)},
      {ReadGetQueueCount, R"({"data":{"count":"1","ticket":"0,3","op_2":"false"},"status":true})",
       Kind(AnswerKind::kNoTicketsCounted)},
      {ReadGetQueueCount, R"({"data":{"ticket":"5"},"status":false})", kNoValidAnswer},
      {ReadGetQueueCount, "", kNoValidAnswer},
      {ReadResultOrderForDcQueue, R"({"data":{"submitStatus":true}})", kAccepted},
      {ReadResultOrderForDcQueue, R"({"status":false,"messages":["late"]})", Refused("late")},
      {ReadResultOrderForDcQueue, "\x81\x82garbled", kNoValidAnswer},
  };
  for (const Case& c : cases) EXPECT_EQ(c.read(c.answer), c.verdict) << c.answer;

  EXPECT_EQ(ReadOrderWaitTime(R"({"data":{"waitTime":4,"orderId":null}})"), "");
  EXPECT_EQ(ReadOrderWaitTime(R"({"data":{"waitTime":-1,"orderId":"E123456789"}})"), "E123456789");

  const struct {
    std::string answer;
    AnswerVerdict verdict;
  } orderCases[] = {
      {R"({"data":{"orderDBList":[{"sequence_no":"E123456789","order_date":"2026-12-10 10:00:00",)"
       R"("ticket_totalnum":1,"lose_time":"2026-12-10 10:30:00",)"
       R"("station_train_code":"G101","cancel_flag":"Y","train_no":"240000G1010C"}]},"status":true})",
       kAccepted},
      {R"({"data":{},"status":true,"messages":[]})", kNoValidAnswer},  // no uncompleted order
      {R"({"status":false,"messages":["busy"]})", Refused("busy")},
      {R"({"status":false,"messages":[")" + lapsed + R"("]})", Kind(AnswerKind::kNotSignedIn, lapsed)},
      {R"({"data":{"orderDBList":[{"sequence_no":"E12)", kNoValidAnswer},  // cut
      {"<html>502</html>", kNoValidAnswer},
  };
  for (const auto& c : orderCases) EXPECT_EQ(ReadUncompletedOrder(c.answer).verdict, c.verdict) << c.answer;
  const UncompletedOrder order = ReadUncompletedOrder(orderCases[0].answer).order;
  EXPECT_EQ(order.sequenceNo, "E123456789");
  EXPECT_EQ(order.trainCode, "G101");
  EXPECT_EQ(order.ticketCount, "1");
  EXPECT_EQ(order.cancelFlag, "Y");
  EXPECT_EQ(order.trainNo, "240000G1010C");
  EXPECT_EQ(order.payDeadline, "2026-12-10 10:30:00");
  EXPECT_EQ(order.passengerName, "");

  EXPECT_EQ(PassportVerdict(true, ""), kAccepted);
  EXPECT_EQ(PassportVerdict(false, R"({"result_message":"busy","result_code":"1"})"), Refused("busy"));
  EXPECT_EQ(PassportVerdict(false, "<html>"), kNoValidAnswer);
}

TEST(QrAnswers, StatesByResultCode) {
  struct Case {
    const char* answer;
    std::optional<QrCodeState> state;
  };
  const Case cases[] = {
      {R"({"result_message":"m","result_code":"0"})", QrCodeState::kWaiting},
      {R"({"result_message":"m","result_code":"1"})", QrCodeState::kScanned},
      {R"({"result_message":"m","result_code":"2"})", QrCodeState::kConfirmed},
      {R"({"result_message":"m","result_code":"3"})", QrCodeState::kExpired},
      {R"({"result_message":"m","result_code":"4"})", QrCodeState::kRefused},
      {R"({"result_message":"m","result_code":"5"})", QrCodeState::kUnknown},
      {R"({"result_code":2,"result_message":"m"})", QrCodeState::kConfirmed},  // unquoted
      {R"({"result_message":"m","result_code":"7"})", std::nullopt},
      {R"({"result_message":"m","result_code":"20"})", std::nullopt},
      {R"({"result_message":"m","result_code":""})", std::nullopt},
      {R"({"result_message":"result_code"})", std::nullopt},
      {"<html>502 Bad Gateway</html>", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadQrCheck(c.answer), c.state) << c.answer;
  EXPECT_EQ(PassportMessage(G(u8R"({"result_message":"二维码已失效","result_code":"3"})")), G(u8"二维码已失效"));
}

TEST(QrAnswers, MadeCodeAndTokens) {
  const struct {
    const char* answer;
    AnswerKind kind;
    const char* reason;
    const char* uuid;
    const char* picture;
  } codes[] = {
      {R"({"result_message":"busy","result_code":"1","uuid":"u1"})", AnswerKind::kRefused, "busy", "", ""},
      {R"({"result_code":"0","image":"AAAA"})", AnswerKind::kNoValidAnswer, "", "", ""},
      {"\x9f{garbage", AnswerKind::kNoValidAnswer, "", "", ""},
      {R"({"result_code":"0","uuid":"u-1_x","image":"iVBO\/w=="})", AnswerKind::kAccepted, "", "u-1_x", "iVBO\\/w=="},
  };
  for (const auto& c : codes) {
    const QrCreated made = ReadQrCreated(c.answer);
    EXPECT_EQ(made.verdict, (AnswerVerdict{c.kind, c.reason})) << c.answer;
    EXPECT_EQ(made.uuid, c.uuid) << c.answer;
    EXPECT_EQ(made.pictureBase64, c.picture) << c.answer;
  }

  const struct {
    const char* answer;
    AnswerKind kind;
    const char* reason;
    const char* token;
  } tokens[] = {
      {R"({"result_message":"ok","result_code":0,"apptk":null,"newapptk":"tk1"})", AnswerKind::kAccepted, "", "tk1"},
      {R"({"result_message":"no","result_code":1,"newapptk":"tk1"})", AnswerKind::kRefused, "no", ""},
      {R"({"result_code":0})", AnswerKind::kNoValidAnswer, "", ""},
      {"", AnswerKind::kNoValidAnswer, "", ""},
  };
  for (const auto& c : tokens) {
    const NewAppToken token = ReadNewAppToken(c.answer);
    EXPECT_EQ(token.verdict, (AnswerVerdict{c.kind, c.reason})) << c.answer;
    EXPECT_EQ(token.token, c.token) << c.answer;
  }
  EXPECT_TRUE(AuthClientAccepted(R"({"apptk":"tk1","result_code":0,"username":"demo"})"));
  EXPECT_FALSE(AuthClientAccepted(R"({"result_code":2})"));
  EXPECT_FALSE(AuthClientAccepted(""));
}

TEST(QrAnswers, PictureFromBase64) {
  struct Case {
    std::string base64;
    std::string bytes;
  };
  const Case cases[] = {
      {"TWFu", "Man"},
      {"TWE=", "Ma"},
      {"TQ==", "M"},
      {"AAEC", std::string("\0\1\2", 3)},
      {"iVBORw0KGgo=", "\x89PNG\r\n\x1a\n"},
      {"aV\\/v", "i\x5f\xef"},  // an escaped slash
      {"", ""},
      {"TWF", ""},   // not a whole group
      {"T!F=", ""},  // not the alphabet
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeQrPicture(c.base64), c.bytes) << c.base64;
}

}  // namespace
}  // namespace quillet
