#include "stations/station_directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "util/codepage.h"

namespace quillet {
namespace {

std::string G(std::u8string_view text) { return Gbk(text); }

class BuiltInTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = new StationDirectory;
    directory_->LoadStations();
  }
  static void TearDownTestSuite() {
    delete directory_;
    directory_ = nullptr;
  }
  static StationDirectory* directory_;
};
StationDirectory* BuiltInTable::directory_ = nullptr;

TEST_F(BuiltInTable, LoadsEveryLineInOrder) {
  const auto& records = directory_->Records();
  ASSERT_EQ(records.size(), 2751u);
  for (std::size_t i = 0; i < records.size(); ++i) ASSERT_EQ(records[i].index, static_cast<int>(i));

  const StationRecord& beijing = records[2];
  EXPECT_EQ(beijing.code, "bji");
  EXPECT_EQ(beijing.name, G(u8"北京"));
  EXPECT_EQ(beijing.telecode, "BJP");
  EXPECT_EQ(beijing.pinyin, "beijing");
  EXPECT_EQ(beijing.abbreviation, "bj");
  EXPECT_EQ(records.front().name, G(u8"北京北"));
  EXPECT_EQ(records.back().name, G(u8"株洲南"));
  EXPECT_EQ(records.back().telecode, "KVQ");
}

struct BoxCase {
  const char8_t* typed;
  std::size_t count;
  std::vector<const char8_t*> leading;  // the first entries, in order
};

class StationBoxFigures : public BuiltInTable, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(StationBoxFigures, ListsTheMatchingStationsInTableOrder) {
  const BoxCase& c = GetParam();
  const StationFilterOutcome outcome = FilterStationBox(*directory_, G(c.typed));
  EXPECT_TRUE(outcome.run);
  EXPECT_TRUE(outcome.clearList);
  ASSERT_EQ(outcome.entries.size(), c.count);
  for (std::size_t i = 0; i < c.leading.size(); ++i) EXPECT_EQ(outcome.entries[i], G(c.leading[i])) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Typed, StationBoxFigures,
    ::testing::Values(
        BoxCase{u8"北京", 5, {u8"北京北|VAP", u8"北京东|BOP", u8"北京|BJP", u8"北京南|VNP", u8"北京西|BXP"}},
        BoxCase{u8"上海", 4, {u8"上海|SHH", u8"上海南|SNH", u8"上海虹桥|AOH", u8"上海西|SXH"}},
        BoxCase{u8"bj", 17, {u8"北京北|VAP", u8"北京东|BOP", u8"北京|BJP", u8"北京南|VNP", u8"北京西|BXP"}},
        BoxCase{u8"BJ", 17, {u8"北京北|VAP", u8"北京东|BOP", u8"北京|BJP", u8"北京南|VNP", u8"北京西|BXP"}},
        BoxCase{u8"sh", 169, {}}, BoxCase{u8"zzd", 5, {u8"漳州东|GOS"}},
        // one letter is not searched; abbreviations are never consulted
        BoxCase{u8"b", 0, {}}, BoxCase{u8"shhq", 0, {}},
        // a name longer than every station matches nothing
        BoxCase{u8"北京北京北京", 0, {}}));

TEST_F(BuiltInTable, PinyinMatchesCountAndSixthEntry) {
  const StationFilterOutcome outcome = FilterStationBox(*directory_, "beijing");
  ASSERT_EQ(outcome.entries.size(), 6u);
  EXPECT_EQ(outcome.entries[5], G(u8"北井子|BRT"));
}

TEST_F(BuiltInTable, PickedEntryKeepsTheListAndAddsNothing) {
  const StationFilterOutcome outcome = FilterStationBox(*directory_, G(u8"北京南|VNP"));
  EXPECT_TRUE(outcome.run);
  EXPECT_FALSE(outcome.clearList);
  EXPECT_TRUE(outcome.entries.empty());
}

TEST_F(BuiltInTable, EmptyBoxDoesNothing) {
  const StationFilterOutcome outcome = FilterStationBox(*directory_, "");
  EXPECT_FALSE(outcome.run);
  EXPECT_TRUE(outcome.entries.empty());
}

TEST_F(BuiltInTable, FindStationsAppendsAndHonoursTheMode) {
  std::vector<std::string> results{"kept"};
  directory_->FindStations("bjb", 1, results);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0], "kept");
  EXPECT_EQ(results[1], G(u8"北京北|VAP"));

  std::vector<std::string> none;
  directory_->FindStations(G(u8"北京"), 1, none);  // names are not searched in mode 1
  directory_->FindStations("bj", 0, none);         // letters are not names
  directory_->FindStations("bj", 2, none);
  EXPECT_TRUE(none.empty());
}

TEST_F(BuiltInTable, TelecodeLookup) {
  EXPECT_EQ(directory_->NameForTelecode("SHH"), G(u8"上海"));
  EXPECT_EQ(directory_->NameForTelecode("KVQ"), G(u8"株洲南"));
  EXPECT_EQ(directory_->NameForTelecode("QQQ"), "QQQ");
  EXPECT_EQ(directory_->FindNameForTelecode("QQQ"), nullptr);
  EXPECT_EQ(directory_->NameForTelecode(""), "");
  // Every telecode of the table names the first station that holds it.
  for (const StationRecord& record : directory_->Records()) {
    const auto first = std::find_if(directory_->Records().begin(), directory_->Records().end(),
                                    [&](const StationRecord& r) { return r.telecode == record.telecode; });
    ASSERT_EQ(directory_->FindNameForTelecode(record.telecode), &first->name) << record.telecode;
  }
}

TEST(StationTableText, TelecodesOfAnyShape) {
  const std::string table =
      "aaa|A1|AAA|a|a|0\r\nbbb|B1|ZZZ|b|b|1\r\nccc|C1|abc|c|c|2\r\nddd|D1|AB|d|d|3\r\n"
      "eee|E1|ABCD|e|e|4\r\nfff|F1|A1B|f|f|5\r\nggg|G1||g|g|6\r\nhhh|H1|ZZZ|h|h|7";
  StationDirectory directory;
  directory.LoadFromText(table);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"AAA", "A1"}, {"ZZZ", "B1"}, {"abc", "C1"},  {"ABC", "ABC"}, {"AB", "D1"},   {"ABCD", "E1"},
      {"A1B", "F1"}, {"", "G1"},    {"AAB", "AAB"}, {"aaa", "aaa"}, {"[AA", "[AA"}, {"@ZZ", "@ZZ"}};
  for (const auto& [telecode, name] : cases) EXPECT_EQ(directory.NameForTelecode(telecode), name) << telecode;
}

TEST(StationTableText, SplitsAtCharacterStartsAndSkipsMalformedLines) {
  // 0x81 0x7C is one GBK character whose second byte is the "|" byte.
  const std::string trailBar = "\x81\x7C";
  const std::string table = "aaa|" + trailBar + "|AAA|aa|a|0\r\n" +
                            "bad|line\r\n"
                            "bbb|B1|XYZ|bee|b|1\r\n"
                            "ccc|C1|XYZ|cee|c|2";
  StationDirectory directory;
  directory.LoadFromText(table);
  ASSERT_EQ(directory.Records().size(), 3u);
  EXPECT_EQ(directory.Records()[0].name, trailBar);
  EXPECT_EQ(directory.Records()[2].index, 2);
  // a telecode held twice names its first station
  EXPECT_EQ(directory.NameForTelecode("XYZ"), "B1");
}

}  // namespace
}  // namespace quillet
