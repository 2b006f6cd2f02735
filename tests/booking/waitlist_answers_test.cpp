// The readers of the waitlist answers: accepted, refused with the service's
// reason, and answers that are none the request knows (empty, cut, foreign).
#include <gtest/gtest.h>

#include "booking/waitlist_answers.h"
#include "booking/waitlist_results.h"
#include "util/codepage.h"

namespace quillet {
namespace {

std::string Envelope(bool status, const std::string& data, const std::string& message = "") {
  return std::string("{\"validateMessagesShowId\":\"_validatorMessage\",\"status\":") + (status ? "true" : "false") +
         ",\"httpstatus\":200,\"data\":" + data + ",\"messages\":[" + (message.empty() ? "" : "\"" + message + "\"") +
         "],\"validateMessages\":{}}";
}

const std::string kHeld = GbkFromUtf8("您已有待兑现的候补订单，请兑现或取消后再提交新的候补订单");
const std::string kFace = GbkFromUtf8("您的身份信息需要完成人脸核验");

struct FlagCase {
  const char* name;
  std::string answer;
  WaitlistVerdict verdict;
  std::string reason;
};

TEST(WaitlistAnswers, SubmitConfirmAndCancelReadTheFlag) {
  const FlagCase cases[] = {
      {"accepted", Envelope(true, "{\"flag\":true}"), WaitlistVerdict::kAccepted, ""},
      {"refused with a reason", Envelope(false, "{}", kHeld), WaitlistVerdict::kRefused, kHeld},
      {"refused in the data", Envelope(true, "{\"flag\":false}"), WaitlistVerdict::kRefused, ""},
      {"empty", "", WaitlistVerdict::kNoValidAnswer, ""},
      {"cut before the verdict", "{\"validateMessagesShowId\":\"_valid", WaitlistVerdict::kNoValidAnswer, ""},
      {"an HTML page", "<html><body>502 Bad Gateway</body></html>", WaitlistVerdict::kNoValidAnswer, ""},
  };
  for (const FlagCase& c : cases) {
    for (const auto reader : {&ReadWaitlistSubmit, &ReadWaitlistConfirm, &ReadWaitlistCancel}) {
      const WaitlistReading reading = reader(c.answer);
      EXPECT_EQ(reading.verdict, c.verdict) << c.name;
      EXPECT_EQ(reading.reason, c.reason) << c.name;
    }
  }
}

TEST(WaitlistAnswers, PartyCheckTellsAFaceCheckApart) {
  const struct {
    const char* name;
    std::string answer;
    WaitlistVerdict verdict;
    bool faceCheck;
    std::string reason;
  } cases[] = {
      {"allowed", Envelope(true, "{\"face_flag\":true,\"login_flag\":true}"), WaitlistVerdict::kAccepted, false, ""},
      {"face check owed", Envelope(false, "{\"face_flag\":false,\"face_check_code\":\"01\"}", kFace),
       WaitlistVerdict::kRefused, true, kFace},
      {"other refusal", Envelope(false, "{}", kHeld), WaitlistVerdict::kRefused, false, kHeld},
      {"garbled", "\x01\x02{\"face_fl", WaitlistVerdict::kNoValidAnswer, false, ""},
  };
  for (const auto& c : cases) {
    const WaitlistCheckReading reading = ReadWaitlistCheck(c.answer);
    EXPECT_EQ(reading.verdict, c.verdict) << c.name;
    EXPECT_EQ(reading.faceCheck, c.faceCheck) << c.name;
    EXPECT_EQ(reading.reason, c.reason) << c.name;
  }
}

TEST(WaitlistAnswers, ChancesPerChoice) {
  const std::string high = GbkFromUtf8("成功机会较大");
  const WaitlistChancesReading two = ReadWaitlistChances(Envelope(
      true,
      "{\"flag\":[{\"train_no\":\"240000G1010A\",\"station_train_code\":\"G101\",\"seat_type_code\":\"O\","
      "\"level\":\"3\",\"info\":\"" +
          high + "\"},{\"station_train_code\":\"G103\",\"seat_type_code\":\"M\",\"level\":\"x9\",\"info\":\"\"}]}"));
  ASSERT_EQ(two.verdict, WaitlistVerdict::kAccepted);
  ASSERT_EQ(two.chances.size(), 2u);
  EXPECT_EQ(two.chances[0].train, "G101");
  EXPECT_EQ(two.chances[0].seatType, "O");
  EXPECT_EQ(two.chances[0].level, 3);
  EXPECT_EQ(two.chances[0].info, high);
  EXPECT_EQ(two.chances[1].level, 0);  // not a number
  EXPECT_EQ(ReadWaitlistChances(Envelope(true, "{\"flag\":[]}")).chances.size(), 0u);
  EXPECT_EQ(ReadWaitlistChances(Envelope(false, "{}", kHeld)).reason, kHeld);
  EXPECT_EQ(ReadWaitlistChances("{\"flag\":[{\"level\":\"3\"").verdict, WaitlistVerdict::kNoValidAnswer);
}

TEST(WaitlistAnswers, QueueTellsTheNumberOnceItIsPlaced) {
  const struct {
    const char* name;
    std::string answer;
    WaitlistVerdict verdict;
    std::string reserveNo;
  } cases[] = {
      {"placed", Envelope(true, "{\"status\":1,\"waitTime\":-1,\"reserve_no\":\"H000000000042\"}"),
       WaitlistVerdict::kAccepted, "H000000000042"},
      {"still placing", Envelope(true, "{\"status\":0,\"waitTime\":2,\"reserve_no\":null}"), WaitlistVerdict::kAccepted,
       ""},
      {"nothing queued", Envelope(false, "{}", kHeld), WaitlistVerdict::kRefused, ""},
      {"neither", Envelope(true, "{\"waitTime\":2}"), WaitlistVerdict::kNoValidAnswer, ""},
      {"empty", "", WaitlistVerdict::kNoValidAnswer, ""},
  };
  for (const auto& c : cases) {
    const WaitlistQueueReading reading = ReadWaitlistQueue(c.answer);
    EXPECT_EQ(reading.verdict, c.verdict) << c.name;
    EXPECT_EQ(reading.reserveNo, c.reserveNo) << c.name;
  }
}

TEST(WaitlistAnswers, StateOfAnOrder) {
  const auto state = [](const std::string& code, const std::string& orderId = "") {
    return Envelope(
        true, "{\"reserve_no\":\"H1\",\"status\":\"" + code +
                  "\",\"status_name\":\"x\",\"realize_limit_time\":\"2026-12-20 06:00\",\"sequence_no\":\"" + orderId +
                  "\"}");
  };
  const struct {
    const char* name;
    std::string answer;
    WaitlistVerdict verdict;
    WaitlistOrderStatus status;
    std::string orderId;
  } cases[] = {
      {"waiting", state("1"), WaitlistVerdict::kAccepted, WaitlistOrderStatus::kWaiting, ""},
      {"filled", state("2", "E123456789") + "\"station_train_code\":\"G101\"", WaitlistVerdict::kAccepted,
       WaitlistOrderStatus::kFilled, "E123456789"},
      {"cancelled", state("3"), WaitlistVerdict::kAccepted, WaitlistOrderStatus::kCancelled, ""},
      {"expired", state("4"), WaitlistVerdict::kAccepted, WaitlistOrderStatus::kExpired, ""},
      {"unknown code", state("7"), WaitlistVerdict::kNoValidAnswer, WaitlistOrderStatus::kWaiting, ""},
      {"refused", Envelope(false, "{}", kHeld), WaitlistVerdict::kRefused, WaitlistOrderStatus::kWaiting, ""},
      {"cut", state("2").substr(0, 90), WaitlistVerdict::kNoValidAnswer, WaitlistOrderStatus::kWaiting, ""},
  };
  for (const auto& c : cases) {
    const WaitlistStateReading reading = ReadWaitlistState(c.answer);
    EXPECT_EQ(reading.verdict, c.verdict) << c.name;
    EXPECT_EQ(reading.status, c.status) << c.name;
    EXPECT_EQ(reading.orderId, c.orderId) << c.name;
  }
  EXPECT_EQ(ReadWaitlistState(state("1")).deadline, "2026-12-20 06:00");
}

// A train text of `pieces` pieces: code G101, second class sold out, and the
// waitlist mark (piece 37) when there is room for it.
std::string TrainText(std::size_t pieces, const std::string& mark) {
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    std::string piece = i == 3 ? "G101" : i == 30 ? GbkFromUtf8("无") : i == 37 ? mark : "x";
    text += (i ? "|" : "") + piece;
  }
  return text;
}

TEST(WaitlistAnswers, TrainsWithAndWithoutTheWaitlistMark) {
  StationDirectory stations;
  const struct {
    std::size_t pieces;
    std::string mark;
    bool open;
  } cases[] = {{36, "", false}, {37, "", false}, {38, "1", true}, {38, "0", false}, {40, "1", true}};
  for (const auto& c : cases) {
    std::vector<WaitlistTrain> trains;
    const std::string answer = "{\"data\":{\"flag\":\"1\",\"result\":[\"" + TrainText(c.pieces, c.mark) + "\"]}}";
    ASSERT_EQ(ReadWaitlistTrains(answer, stations, trains).verdict, WaitlistVerdict::kAccepted) << c.pieces;
    ASSERT_EQ(trains.size(), 1u) << c.pieces;
    EXPECT_EQ(trains[0].record.stationTrainCode, "G101");
    EXPECT_EQ(trains[0].waitlistOpen, c.open) << c.pieces << " pieces, mark " << c.mark;
  }
  std::vector<WaitlistTrain> trains;
  EXPECT_EQ(ReadWaitlistTrains(Envelope(false, "{}", kHeld), stations, trains).reason, kHeld);
  EXPECT_EQ(ReadWaitlistTrains("{\"data\":{\"result\":[\"a|b", stations, trains).verdict,
            WaitlistVerdict::kNoValidAnswer);
  // Too short a train text is left out.
  EXPECT_EQ(ReadWaitlistTrains("{\"data\":{\"result\":[\"a|b|c\"]}", stations, trains).verdict,
            WaitlistVerdict::kAccepted);
  EXPECT_TRUE(trains.empty());
}

TEST(WaitlistRequests, ChoicesAndPartyAreEncodedForTheForm) {
  EXPECT_EQ(WaitlistSecretList({{"ab%2Bc%3D", "O"}, {"xy", "M"}}), "ab%2Bc%3D%23O%7Cxy%23M%7C");
  const std::string party = WaitlistPartyText({{GbkFromUtf8("张伟"), "1", "110105198503120019", "1"}});
  EXPECT_EQ(party, "%E5%BC%A0%E4%BC%9F%231%23110105198503120019%231%3B");
}

}  // namespace
}  // namespace quillet
