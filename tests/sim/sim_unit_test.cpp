// The service's own pieces, without a running server.
#include <gtest/gtest.h>

#include <optional>

#include "accounts.h"
#include "captcha.h"
#include "china_time.h"
#include "options.h"
#include "sale_schedule.h"
#include "text_codec.h"
#include "tokens.h"

namespace quillet::sim {
namespace {

TEST(SimForm, ParsesLeniently) {
  const FormFields f = ParseForm("a=1&b=%E5%BC%A0+x&undefined&a=2&c=%zz&=v&d=x=y&&e=");
  EXPECT_EQ(Field(f, "a"), "1") << "the first occurrence wins";
  EXPECT_EQ(Field(f, "b"), "张 x");
  EXPECT_EQ(f.count("undefined"), 1u);
  EXPECT_EQ(Field(f, "undefined"), "");
  EXPECT_EQ(Field(f, "c"), "%zz");
  EXPECT_EQ(Field(f, ""), "v");
  EXPECT_EQ(Field(f, "d"), "x=y");
  EXPECT_EQ(Field(f, "e"), "");
  EXPECT_EQ(PercentDecode("%2B%2f+", false), "+/+");
}

TEST(SimJson, QuotesAnyBytesIntoValidJson) {
  EXPECT_EQ(JsonStringFromUtf8("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonStringFromUtf8("\r\n\t\x01\x7f"), "\"\\r\\n\\t\\u0001\\u007f\"");
  EXPECT_EQ(JsonStringFromUtf8("张𠮷"), "\"张𠮷\"");
  EXPECT_EQ(JsonStringFromUtf8("\xB1\xB1"), "\"\\u00b1\\u00b1\"");             // GBK, not UTF-8
  EXPECT_EQ(JsonStringFromUtf8("\xE5\xBC"), "\"\\u00e5\\u00bc\"");             // a cut sequence
  EXPECT_EQ(JsonStringFromUtf8("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");  // an encoded surrogate
  EXPECT_EQ(JsonStringFromUtf8("\xC0\xAF"), "\"\\u00c0\\u00af\"");             // an overlong form
}

TEST(SimCaptcha, EachFixedCellAnswerOfTheClientHitsItsOwnTile) {
  const char* const answers[] = {"38.5,40",    "110.5,35", "180,42",  "253,50",
                                 "33.5,111.5", "109,110",  "182,115", "255,117"};
  for (int cell = 1; cell <= 8; ++cell) {
    CaptchaPicture picture;
    picture.cells = {cell};
    EXPECT_TRUE(CaptchaAnswerRight(picture, answers[cell - 1])) << cell;
    for (int other = 1; other <= 8; ++other) {
      if (other != cell) {
        EXPECT_FALSE(CaptchaAnswerRight(picture, answers[other - 1])) << cell << " " << other;
      }
    }
  }
}

TEST(SimCaptcha, TileEdges) {
  // Tiles are 67 pixels wide with 5-pixel gaps; y is in picture pixels here.
  EXPECT_EQ(CaptchaTileAt(5, 41), 1);
  EXPECT_EQ(CaptchaTileAt(71.9, 107.9), 1);
  EXPECT_EQ(CaptchaTileAt(72, 50), 0);
  EXPECT_EQ(CaptchaTileAt(77, 50), 2);
  EXPECT_EQ(CaptchaTileAt(287.9, 179.9), 8);
  EXPECT_EQ(CaptchaTileAt(100, 110), 0);
  EXPECT_EQ(CaptchaTileAt(100, 20), 0);
}

TEST(SimCaptcha, NewPicturesHaveOneToThreeRightTilesShowingThePrompt) {
  Rng rng(1);
  for (int i = 0; i < 200; ++i) {
    const CaptchaPicture p = NewCaptcha(rng, {});
    ASSERT_GE(p.cells.size(), 1u);
    ASSERT_LE(p.cells.size(), 3u);
    for (int tile = 1; tile <= 8; ++tile) {
      const bool right = std::find(p.cells.begin(), p.cells.end(), tile) != p.cells.end();
      EXPECT_EQ(p.tileCategory[static_cast<std::size_t>(tile - 1)] == p.category, right);
    }
  }
  EXPECT_EQ(NewCaptcha(rng, {7, 2}).cells, (std::vector<int>{2, 7}));
}

TEST(SimTokens, SecretStrNamesItsTrainAndResistsTampering) {
  const TokenMaker tokens(9);
  const TrainRef ref{"2026-12-20", "VNP", "AOH", "G101"};
  const std::string encoded = tokens.SecretStr(ref);
  EXPECT_NE(encoded.find("%2B"), std::string::npos);
  EXPECT_NE(encoded.find("%2F"), std::string::npos);
  EXPECT_NE(encoded.find("%3D"), std::string::npos);
  const auto back = tokens.ReadSecretStr(PercentDecode(encoded, true));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->trainCode, "G101");
  EXPECT_EQ(back->date, "2026-12-20");
  EXPECT_FALSE(tokens.ReadSecretStr(encoded)) << "still percent-encoded";
  EXPECT_FALSE(TokenMaker(10).ReadSecretStr(PercentDecode(encoded, true))) << "another seed's check";
  std::string forged = PercentDecode(encoded, true);
  forged[8] = forged[8] == 'A' ? 'B' : 'A';
  EXPECT_FALSE(tokens.ReadSecretStr(forged));
  EXPECT_NE(tokens.LeftTicket(ref).find_first_of("+/="), std::string::npos);
}

TEST(SimTokens, EverySecretStrReadsBack) {
  const TokenMaker tokens(33);
  for (int i = 0; i < 3000; ++i) {
    const TrainRef ref{"2026-12-" + std::to_string(10 + i % 20), i % 2 ? "VNP" : "BJP", "AOH",
                       std::string(1, "GDKTZ"[i % 5]) + std::to_string(i)};
    const auto back = tokens.ReadSecretStr(PercentDecode(tokens.SecretStr(ref), true));
    ASSERT_TRUE(back) << i;
    EXPECT_EQ(back->trainCode, ref.trainCode);
  }
}

TEST(SimTime, ChinaDateAndMidnight) {
  // 2014-12-09 15:59:59.999 UTC is still the 9th in UTC+8 until 16:00 UTC.
  const std::int64_t ms = 1418140799999LL;
  EXPECT_EQ(FormatDate(ChinaDate(ms)), "2014-12-09");
  EXPECT_EQ(FormatDate(ChinaDate(ms + 1)), "2014-12-10");
  EXPECT_EQ(ChinaMidnightMs(Date{2014, 12, 10}), ms + 1);
  EXPECT_EQ(Weekday(Date{2014, 12, 9}), 2);
  EXPECT_EQ(ChinaDateTimeText(ms), "2014-12-09 23:59:59");
  EXPECT_FALSE(ParseDate("2026-02-29"));
  EXPECT_TRUE(ParseDate("2028-02-29"));
  EXPECT_FALSE(ParseDate("2026-2-01"));
  EXPECT_FALSE(ParseDate("2026-01-01 "));
}

TEST(SimTime, MomentsInChinaTimeAndHttpDates) {
  const std::int64_t midnight = ChinaMidnightMs(Date{2026, 12, 6});
  const std::vector<std::pair<const char*, std::optional<std::int64_t>>> cases = {
      {"2026-12-06 00:00:00", midnight},
      {"2026-12-06 08:00:00", midnight + 8 * 3600000},
      {"2026-12-06 08:00:00.5", midnight + 8 * 3600000 + 500},
      {"2026-12-06 08:00:00.050", midnight + 8 * 3600000 + 50},
      {"2026-12-06 23:59:59.999", midnight + 86400000 - 1},
      {"2026-12-06 24:00:00", std::nullopt},
      {"2026-12-06 08:60:00", std::nullopt},
      {"2026-12-06 08:00", std::nullopt},
      {"2026-12-06T08:00:00", std::nullopt},
      {"2026-12-06 08:00:00.", std::nullopt},
      {"2026-12-06 08:00:00.1234", std::nullopt},
      {"2026-12-06 08:00:00 ", std::nullopt},
      {"1013-12-11 08:00:00", std::nullopt},  // once wrapped round to 2183
      {"2263-01-01 00:00:00", std::nullopt},
  };
  for (const auto& [text, ms] : cases) EXPECT_EQ(ParseChinaDateTime(text), ms) << text;
  EXPECT_EQ(ChinaDateTimeMsText(midnight + 8 * 3600000 + 50), "2026-12-06 08:00:00.050");
  EXPECT_EQ(HttpDateText(784111777999LL), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(HttpDateText(midnight), "Sat, 05 Dec 2026 16:00:00 GMT");
}

TEST(SimSales, OptionsAndScheduleKeepMomentsPerDate) {
  Options o;
  std::string error;
  const char* args[] = {"quillet-sim",
                        "--clock-shift-ms",
                        "-700",
                        "--sale",
                        "2026-12-06@2026-11-06 08:00:00",
                        "--sale",
                        "2026-12-07@2026-11-07 08:00:00.250"};
  ASSERT_TRUE(ParseOptions(static_cast<int>(std::size(args)), args, o, error)) << error;
  EXPECT_EQ(o.clockShiftMs, -700);
  ASSERT_EQ(o.sales.size(), 2u);
  const std::int64_t opening = *ParseChinaDateTime("2026-11-07 08:00:00.250");
  EXPECT_EQ(o.sales[1].date, "2026-12-07");
  EXPECT_EQ(o.sales[1].openingMs, opening);

  SaleSchedule sales;
  for (const SaleOpening& s : o.sales) sales.Set(s);
  EXPECT_FALSE(sales.OnSale("2026-12-07", opening - 1));
  EXPECT_TRUE(sales.OnSale("2026-12-07", opening));
  EXPECT_TRUE(sales.OnSale("2026-12-08", 0)) << "a date without a moment is on sale";
  sales.Set({"2026-12-07", opening + 1000});  // moved
  EXPECT_FALSE(sales.OnSale("2026-12-07", opening));
}

TEST(SimAccounts, DefaultPassengersAreWellFormed) {
  EXPECT_EQ(IdCheckCharacter("11010519491231002"), 'X');
  const auto passengers = DefaultPassengers();
  ASSERT_EQ(passengers.size(), 4u);
  int students = 0;
  bool outsideGbk = false;
  for (const Passenger& p : passengers) {
    EXPECT_EQ(p.idNo.size(), 18u);
    EXPECT_EQ(p.idNo.substr(6, 8), p.bornDate.substr(0, 4) + p.bornDate.substr(5, 2) + p.bornDate.substr(8, 2));
    EXPECT_EQ((p.idNo[16] - '0') % 2 == 1, p.sexCode == "M") << p.name;
    students += p.type == "3";
    outsideGbk |= p.name.find("\xF0") != std::string::npos;  // a 4-byte UTF-8 character
  }
  EXPECT_EQ(students, 1);
  EXPECT_TRUE(outsideGbk);
}

TEST(SimOptions, ParsesValuesAndRejectsBadOnes) {
  Options o;
  std::string error;
  const char* good[] = {"quillet-sim", "--port",          "0",     "--seed",   "5",        "--account",
                        "a:b:c",       "--captcha-cells", "7,2,7", "--faults", "502,busy", "--fault-rate",
                        "0.25",        "--control"};
  ASSERT_TRUE(ParseOptions(static_cast<int>(std::size(good)), good, o, error)) << error;
  EXPECT_EQ(o.seed, 5u);
  EXPECT_EQ(o.accounts, (std::vector<std::string>{"a:b:c"}));
  EXPECT_EQ(o.captchaCells, (std::vector<int>{2, 7}));
  EXPECT_EQ(o.faults, (std::vector<FaultKind>{FaultKind::kBadGateway, FaultKind::kBusy}));
  EXPECT_DOUBLE_EQ(o.faultRate, 0.25);
  EXPECT_TRUE(o.control);
  const AccountBook book(o.accounts);
  ASSERT_NE(book.Find("a"), nullptr);
  EXPECT_EQ(book.Find("a")->password, "b:c");
  EXPECT_NE(book.Find("demo"), nullptr);
}

}  // namespace
}  // namespace quillet::sim
