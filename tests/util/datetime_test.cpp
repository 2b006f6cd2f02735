#include "util/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "util/codepage.h"

namespace quillet {
namespace {

const double kSample = DateValueFromCivil(2014, 12, 9, 14, 5, 7);

TEST(DateValueTest, KnownValues) {
  EXPECT_DOUBLE_EQ(DateValueFromCivil(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(DateValueFromCivil(1900, 1, 1, 12), 2.5);
  EXPECT_DOUBLE_EQ(DateValueFromCivil(2014, 12, 9), 41982.0);
  EXPECT_DOUBLE_EQ(DateValueFromCivil(1899, 12, 29, 6), -1.25);  // the integer part is the day
}

TEST(DateValueTest, CivilFromValue) {
  struct Case {
    double value;
    int year, month, day, hour, minute, second, weekday;
  };
  const std::vector<Case> cases = {
      {0.0, 1899, 12, 30, 0, 0, 0, 6},
      {-1.25, 1899, 12, 29, 6, 0, 0, 5},
      {-0.25, 1899, 12, 30, 6, 0, 0, 6},
      {kSample, 2014, 12, 9, 14, 5, 7, 2},
      {60.0, 1900, 2, 28, 0, 0, 0, 3},
      {61.0, 1900, 3, 1, 0, 0, 0, 4},  // no 29 February in 1900
      {DateValueFromCivil(2024, 2, 29), 2024, 2, 29, 0, 0, 0, 4},
      {DateValueFromCivil(9999, 12, 31, 23, 59, 59), 9999, 12, 31, 23, 59, 59, 5},
      {DateValueFromCivil(100, 1, 1), 100, 1, 1, 0, 0, 0, 5},
  };
  for (const auto& c : cases) {
    CivilDateTime t;
    ASSERT_TRUE(CivilFromDateValue(c.value, t)) << c.value;
    EXPECT_EQ(t.year, c.year) << c.value;
    EXPECT_EQ(t.month, c.month) << c.value;
    EXPECT_EQ(t.day, c.day) << c.value;
    EXPECT_EQ(t.hour, c.hour) << c.value;
    EXPECT_EQ(t.minute, c.minute) << c.value;
    EXPECT_EQ(t.second, c.second) << c.value;
    EXPECT_EQ(t.weekday, c.weekday) << c.value;
  }
  CivilDateTime t;
  EXPECT_FALSE(CivilFromDateValue(DateValueFromCivil(99, 12, 31), t));
  EXPECT_FALSE(CivilFromDateValue(DateValueFromCivil(10000, 1, 1), t));
  EXPECT_FALSE(CivilFromDateValue(std::nan(""), t));
}

TEST(FormatDateTimeTest, StylesAndParts) {
  struct Case {
    int style, part;
    bool clock24;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {1, 1, true, "2014-12-09"},
      {1, 0, true, "2014-12-09 14:05:07"},
      {1, 0, false, "2014-12-09 02:05:07"},
      {0, 0, true, Gbk(u8"2014年12月09日 14时05分07秒")},
      {0, 1, true, Gbk(u8"2014年12月09日")},
      {0, 4, false, Gbk(u8"02时05分")},
      {3, 5, true, "0507"},
      {3, 0, true, "20141209140507"},
      {2, 2, true, "12/09"},
      {2, 3, true, "14/05/07"},
      {1, 4, true, "14:05"},
      {7, 0, true, Gbk(u8"2014年12月09日 14时05分07秒")},  // unknown style counts as 0
      {-1, 2, true, Gbk(u8"12月09日")},
      {1, 9, true, "2014-12-09 14:05:07"},                 // unknown part: date and time
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatDateTime(kSample, c.style, c.part, c.clock24), c.expected) << c.style << "/" << c.part;
  }
}

TEST(FormatDateTimeTest, TwelveHourClockEdges) {
  EXPECT_EQ(FormatDateTime(DateValueFromCivil(2020, 1, 2, 0, 30, 0), 1, 4, false), "12:30");
  EXPECT_EQ(FormatDateTime(DateValueFromCivil(2020, 1, 2, 12, 30, 0), 1, 4, false), "12:30");
  EXPECT_EQ(FormatDateTime(DateValueFromCivil(2020, 1, 2, 0, 30, 0), 1, 4, true), "00:30");
}

TEST(FormatDateTimeTest, WithPatterns) {
  EXPECT_EQ(FormatWithPatterns(kSample, "yy", "HH:mm"), "14:05");   // a pattern under 3 bytes is skipped
  EXPECT_EQ(FormatWithPatterns(kSample, "dd.MM.yyyy ", ""), "09.12.2014 ");
  EXPECT_EQ(FormatWithPatterns(kSample, "x'y", ""), "x'y");
  EXPECT_EQ(FormatWithPatterns(-1.25, "yyyy-MM-dd ", "HH:mm"), "1899-12-29 06:00");
  EXPECT_EQ(FormatWithPatterns(1e9, "yyyy-MM-dd", ""), "");          // out of range
  // Seconds are rounded like the platform does, carrying into the next day.
  EXPECT_EQ(FormatWithPatterns(1.0 - 0.4 / 86400, "yyyy-MM-dd ", "HH:mm:ss"), "1899-12-31 00:00:00");
  // A trail byte that looks like a picture letter stays part of its character.
  EXPECT_EQ(FormatWithPatterns(kSample, "\xB0mmm", ""), "\xB0m05");
}

TEST(FormatDateTimeTest, OmittedValueIsNow) {
  const CivilDateTime now = NowCivil();
  const std::string text = FormatDateTime(std::nullopt, 1, 1);
  char expected[16];
  std::snprintf(expected, sizeof expected, "%04d-%02d-%02d", now.year, now.month, now.day);
  if (text != expected) {  // the day may have turned between the two reads
    const CivilDateTime later = NowCivil();
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02d", later.year, later.month, later.day);
  }
  EXPECT_EQ(text, expected);
  EXPECT_NEAR(NowDateValue(), DateValueFromCivil(now.year, now.month, now.day, now.hour, now.minute, now.second),
              2.0 / 86400 + 1.0);  // within the same day or the next
}

TEST(ClockTest, TwelveHourFormatsAreRecognised) {
  struct Case {
    const char* format;
    bool is24;
  };
  const std::vector<Case> cases = {
      {"%H:%M:%S", true},  {"%T", true},        {"%r", false},         {"%I:%M:%S %p", false},
      {"%l:%M %P", false}, {"%-I:%M", false},   {"%OI:%M", false},     {"100%% %H", true},
      {"", true},          {nullptr, true},     {"%H\xE6\x97\xB6%M", true},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeFormatIs24Hour(c.format), c.is24) << (c.format ? c.format : "null");
}

TEST(ClockTest, CLocaleIs24Hour) {
  ::setenv("LC_ALL", "C", 1);
  EXPECT_TRUE(Is24HourClock());
  ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);  // a locale that is not installed
  EXPECT_TRUE(Is24HourClock());
  ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace quillet
