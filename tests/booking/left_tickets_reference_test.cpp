// The left-ticket reader against a plain reading of the same answers, step by
// step with the general text helpers: cut to the result list, every text
// between two quotes, "," dropped, split at "|", 33 pieces or more.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "booking/answers.h"
#include "booking/texts.h"
#include "built_in_stations.h"
#include "net/encoding.h"
#include "util/codepage.h"
#include "util/text.h"

namespace quillet {
namespace {

namespace texts = booking_texts;

std::vector<std::string> Fields(const TrainRecord& r) {
  return {r.stationTrainCode,  r.trainNo,       r.startTime,      r.arriveTime,      r.fromStationName,
          r.fromTelecode,      r.toStationName, r.toTelecode,     r.duration,        r.canWebBuy,
          r.leftTicket,        r.businessSeat,  r.firstClassSeat, r.secondClassSeat, r.hardSeat,
          r.hardSleeper,       r.noSeat,        r.seatCount25,    r.softSeat,        r.softSleeper,
          r.deluxeSoftSleeper, r.otherSeat,     r.secretStr,      r.trainLocation};
}

struct Reading {
  std::string result;
  std::string answerAfter;
  std::vector<std::vector<std::string>> records;
};

Reading PlainReading(std::string answer, const StationDirectory& stations) {
  Reading reading;
  if (FindText(answer, "messages\":[\"") != kNotFound) {
    reading.answerAfter = TextBetween(answer, "messages\":[\"", "\"");
    reading.result = reading.answerAfter;
    return reading;
  }
  const int listAt = FindText(answer, "result\":[");
  const int end = listAt == kNotFound ? kNotFound : FindText(answer, "]}", listAt + 9);
  if (end == kNotFound) {
    reading.answerAfter = answer;
    reading.result = texts::NoValidAnswer();
    return reading;
  }
  reading.answerAfter = MidText(answer, listAt + 9, end - listAt - 9);
  reading.result = texts::Success();
  std::vector<std::string> items;
  ExtractItemsBetween(reading.answerAfter, "\"", "\"", items);
  for (const std::string& item : items) {
    if (item == ",") continue;
    const std::vector<std::string> p = SplitText(item, "|");
    if (p.size() < 33) continue;
    const std::string from = stations.NameForTelecode(p[6]);
    const std::string to = stations.NameForTelecode(p[7]);
    reading.records.push_back({p[3],  p[2],  p[8],  p[9],  from,  p[6],  to,    p[7],  p[10], p[11], p[12], p[32],
                               p[31], p[30], p[29], p[28], p[26], p[25], p[24], p[23], p[20], p[22], p[0],  p[15]});
  }
  return reading;
}

Reading FastReading(std::string answer, const StationDirectory& stations) {
  Reading reading;
  std::vector<TrainRecord> records;
  // The result as the client words it.
  const AnswerVerdict verdict = ReadLeftTickets(answer, stations, records);
  reading.result = verdict.Accepted()                           ? texts::Success()
                   : verdict.kind == AnswerKind::kNoValidAnswer ? texts::NoValidAnswer()
                                                                : verdict.reason;
  reading.answerAfter = answer;
  for (const TrainRecord& record : records) reading.records.push_back(Fields(record));
  return reading;
}

// A train text of `pieces` pieces, each holding `filler` and its number.
std::string Train(int pieces, const std::string& filler, const std::string& from = "BJP",
                  const std::string& to = "SHH") {
  std::string text;
  for (int i = 0; i < pieces; ++i) {
    if (i) text += '|';
    text += i == 6 ? from : i == 7 ? to : filler + std::to_string(i);
  }
  return text;
}

std::string Answer(const std::string& list) {
  return R"({"httpstatus":200,"data":{"flag":"1","map":{"BJP":"x"},"result":[)" + list +
         R"(]},"messages":[],"status":true})";
}

class LeftTicketsReference : public ::testing::Test {
 protected:
  static void ExpectSameReading(const std::string& answer) {
    const Reading plain = PlainReading(answer, *stations_);
    const Reading fast = FastReading(answer, *stations_);
    EXPECT_EQ(fast.result, plain.result) << testing::PrintToString(answer);
    EXPECT_EQ(fast.answerAfter, plain.answerAfter) << testing::PrintToString(answer);
    EXPECT_EQ(fast.records, plain.records) << testing::PrintToString(answer);
  }
  static inline const StationDirectory* const stations_ = &test::BuiltInStations();
};

TEST_F(LeftTicketsReference, OddAnswers) {
  const std::string wu = Gbk(u8"无");
  const std::string yu = Gbk(u8"有");
  const std::string rare = GbkFromUtf8("\xF0\xA0\xAE\xB7");  // four bytes, outside GBK
  const std::string bar = "\xB0|";                           // a character whose trail byte is "|"
  const std::string quote = "\xB0\"";                        // a lead byte before a quote
  const std::string wide = "\xA1\xA1";                       // the full-width space
  const std::vector<std::string> lists = {
      "",
      "\"" + Train(36, "a") + "\"",
      "\"" + Train(36, "a") + "\",\"" + Train(33, wu, "VAP", "AOH") + "\", \"" + Train(40, yu) + "\"",
      "\"" + Train(20, "a") + "\",\"" + Train(33, "b") + "\"",   // a 20-piece train text is left out
      "\"" + Train(32, "a") + "|\",\"" + Train(33, "") + "|\"",  // 32 pieces and a final separator
      "\"" + Train(35, bar) + "\",\"" + Train(35, quote) + "\"",
      "\"" + Train(34, rare + "x") + "\",\"" + Train(34, "x" + rare) + "\"",
      "\" " + Train(34, "s") + " \",\"" + wide + Train(34, "t") + wide + "\"",
      "\"\",\"\",\"" + Train(33, "e") + "\"",
      "\"" + Train(33, "q") + "\"\"" + Train(33, "r") + "\"",  // no separator between two texts
      "\"" + Train(33, "x") + "\",\"" + Train(33, "y"),        // the last text never closes
      Train(33, "unquoted"),
  };
  for (const std::string& list : lists) ExpectSameReading(Answer(list));

  ExpectSameReading("");
  ExpectSameReading("<html><head><title>502 Bad Gateway</title></head><body>nginx</body></html>");
  ExpectSameReading(R"({"data":{"result":[")" + Train(36, "a") + "\"]");  // no "]}"
  ExpectSameReading(R"({"status":false,"messages":["date out of range"],"data":{"result":[]}})");
  ExpectSameReading(R"({"data":{"result":[")" + Train(36, "a") + R"("]},"messages":["busy"]})");
}

// A real-looking answer cut off at every length.
TEST_F(LeftTicketsReference, CutAnswers) {
  const std::string answer = Answer("\"" + Train(36, Gbk(u8"预订")) + "\",\"" + Train(36, "k%2B") + "\"");
  for (std::size_t length = 0; length <= answer.size(); ++length) ExpectSameReading(answer.substr(0, length));
}

// Long train texts, so that the separators and quotes fall at every place of
// the blocks the reader looks at, with double-byte characters between them.
TEST_F(LeftTicketsReference, EveryAlignment) {
  const std::string wu = Gbk(u8"无");
  for (int shift = 0; shift < 20; ++shift) {
    std::string list;
    for (int t = 0; t < 4; ++t) {
      if (t) list += ",";
      list += "\"" + std::string(static_cast<std::size_t>(shift + 7 * t), 'z') + Train(34 + t, t % 2 ? wu : "w") + "\"";
    }
    ExpectSameReading(Answer(list));
  }
}

// Many trains, each with other stations: every station of the table, telecodes
// of no station and of odd shapes; read twice in one thread, with a shorter
// and a longer list after a long one.
TEST_F(LeftTicketsReference, ManyStations) {
  const auto& records = stations_->Records();
  const std::vector<std::string> odd = {"QQQ", "bjp", "BJ", "BJPX", "", "B1P", "[AA", "ZZZ"};
  std::string list;
  for (std::size_t t = 0; t < records.size() + odd.size(); ++t) {
    const std::string& from = t < records.size() ? records[t].telecode : odd[t - records.size()];
    const std::string& to = records[(t * 13 + 5) % records.size()].telecode;
    if (t) list += ",";
    list += "\"" + Train(36, "p" + std::to_string(t), from, to) + "\"";
  }
  ExpectSameReading(Answer(list));
  ExpectSameReading(Answer("\"" + Train(33, "short") + "\""));
  ExpectSameReading(Answer(list + ",\"" + Train(34, "one more") + "\""));
}

// A grab pass reads the answer still in UTF-8 and only for its wanted
// trains: what it reads must be what the full reading of the converted
// answer holds for those trains, and the answers it leaves to the full
// reading must be the unusual ones.
class WantedTrains : public LeftTicketsReference {
 protected:
  // False when the wanted reading left the answer to the full reading.
  static bool ExpectSameAsFullReading(const std::string& utf8Answer, const std::vector<std::string>& codes) {
    std::vector<TrainRecord> wanted;
    std::string_view list;
    if (!ReadWantedLeftTickets(utf8Answer, codes, *stations_, wanted, list)) {
      EXPECT_TRUE(wanted.empty());
      return false;
    }
    const Reading full = FastReading(Utf8BytesToText(utf8Answer), *stations_);
    EXPECT_EQ(full.result, texts::Success()) << testing::PrintToString(utf8Answer);
    EXPECT_EQ(Utf8BytesToText(list), full.answerAfter) << testing::PrintToString(utf8Answer);
    std::vector<std::vector<std::string>> expected;
    for (const auto& fields : full.records) {
      if (std::find(codes.begin(), codes.end(), fields[0]) != codes.end()) expected.push_back(fields);
    }
    std::vector<std::vector<std::string>> got;
    for (const TrainRecord& record : wanted) got.push_back(Fields(record));
    EXPECT_EQ(got, expected) << testing::PrintToString(utf8Answer);
    return true;
  }
};

TEST_F(WantedTrains, ReadTheSameRecordsAsTheFullReading) {
  const std::string wu = Gbk(u8"无");
  const std::string wide = Gbk(u8"\u3000");  // the full-width space
  const std::vector<std::string> lists = {
      "",
      "\"" + Train(36, "a") + "\",\"" + Train(33, wu, "VAP", "AOH") + "\", \"" + Train(40, "a") + "\"",
      "\"" + Train(20, "a") + "\",\"" + Train(33, "b") + "\"",  // a 20-piece text with the wanted code
      "\"" + Train(32, "a") + "|\",\"" + Train(33, "") + "|\"",
      "\" " + Train(34, "a") + " \",\"" + wide + Train(34, "b") + wide + "\"",
      "\"" + Train(33, "a") + "\"\"" + Train(33, "b") + "\"",
      "\"" + Train(33, "b") + "\",\"" + Train(33, "a"),  // the last text never closes
      "\"a|b|c|a3\",\"" + Train(4, "a") + "\"",          // too few pieces
  };
  const std::vector<std::vector<std::string>> codeSets = {{"a3"}, {"b3", "a3"}, {wu + "3"}, {"none"}};
  for (const std::string& list : lists) {
    for (const auto& codes : codeSets) {
      EXPECT_TRUE(ExpectSameAsFullReading(Utf8FromGbk(Answer(list)), codes)) << Utf8FromGbk(list);
    }
  }
  // Long texts, so that quotes and separators fall at every place of a block.
  for (int shift = 0; shift < 20; ++shift) {
    std::string list;
    for (int t = 0; t < 4; ++t) {
      if (t) list += ",";
      list += "\"" + std::string(static_cast<std::size_t>(shift + 7 * t), 'z') + Train(34 + t, t % 2 ? wu : "a") + "\"";
    }
    EXPECT_TRUE(ExpectSameAsFullReading(Utf8FromGbk(Answer(list)), {"a3", wu + "3"}));
  }
}

TEST_F(WantedTrains, LeaveUnusualAnswersToTheFullReading) {
  const std::string train = "\"" + Train(36, "a") + "\"";  // ASCII: the same in UTF-8
  const std::vector<std::string> unusual = {
      std::string(1, '\0') + Answer(train),       // a zero byte cuts the answer
      Answer(train + ",\"\xF0\xA0\xAE\xB7|x\""),  // a four-byte character
      Answer(train + ",\"\xE6\x97|x\""),          // a cut-off character
      Answer(train + ",\"\xC0\xAF|x\""),          // an overlong form
      R"({"status":false,"messages":["busy"],"data":{"result":[]}})",
      R"({"data":{"result":[)" + train,  // no "]}"
      "<html>502</html>",
      "",
  };
  for (const std::string& answer : unusual) {
    EXPECT_FALSE(ExpectSameAsFullReading(answer, {"a3"})) << testing::PrintToString(answer);
  }
}

}  // namespace
}  // namespace quillet
