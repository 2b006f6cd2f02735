// Daily hours, query paths and their options, without a running server.
#include <gtest/gtest.h>

#include "options.h"
#include "service_behaviour.h"

namespace quillet::sim {
namespace {

// 2026-12-10 00:00 China Standard Time, in Unix ms.
constexpr std::int64_t kChinaMidnight = 1765296000000LL;

std::int64_t At(int hour, int minute) { return kChinaMidnight + (hour * 60 + minute) * 60000LL; }

TEST(SimHours, ParseAcceptsOnlyTwoClockTimes) {
  struct Case {
    const char* text;
    bool ok;
    int open, close;
  };
  const Case cases[] = {
      {"06:00-23:30", true, 360, 1410}, {"05:00-01:00", true, 300, 60},
      {"00:00-00:00", true, 0, 0},      {"6:00-23:30", false, 0, 0},
      {"06:00-24:00", false, 0, 0},     {"06:60-23:00", false, 0, 0},
      {"06:00 23:30", false, 0, 0},     {"", false, 0, 0},
      {"06:00-23:30x", false, 0, 0},
  };
  for (const Case& c : cases) {
    const auto hours = ParseDailyHours(c.text);
    ASSERT_EQ(hours.has_value(), c.ok) << c.text;
    if (!hours) continue;
    EXPECT_EQ(hours->openMinute, c.open) << c.text;
    EXPECT_EQ(hours->closeMinute, c.close) << c.text;
  }
}

TEST(SimHours, OpenWithinTheDayOrPastMidnight) {
  const DailyHours day = *ParseDailyHours("06:00-23:30");
  const DailyHours night = *ParseDailyHours("05:00-01:00");
  struct Case {
    int hour, minute;
    bool dayOpen, nightOpen;
  };
  const Case cases[] = {
      {0, 0, false, true},  {0, 59, false, true}, {1, 0, false, false}, {4, 59, false, false}, {5, 0, false, true},
      {5, 59, false, true}, {6, 0, true, true},   {23, 29, true, true}, {23, 30, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OpenAt(day, At(c.hour, c.minute)), c.dayOpen) << c.hour << ":" << c.minute;
    EXPECT_EQ(OpenAt(night, At(c.hour, c.minute)), c.nightOpen) << c.hour << ":" << c.minute;
    // The same clock time on another day.
    EXPECT_EQ(OpenAt(night, At(c.hour, c.minute) + 3 * 86400000LL), c.nightOpen);
  }
  EXPECT_TRUE(OpenAt(*ParseDailyHours("08:00-08:00"), At(3, 0))) << "equal ends: open all day";
}

TEST(SimQueryPath, OnlyPlainRelativePathsUnderTheService) {
  EXPECT_TRUE(ValidQueryPath("leftTicket/queryZ"));
  EXPECT_TRUE(ValidQueryPath("leftTicket/query_A1"));
  EXPECT_TRUE(ValidQueryPath(std::string(64, 'a')));
  EXPECT_FALSE(ValidQueryPath(std::string(65, 'a')));
  EXPECT_FALSE(ValidQueryPath(""));
  EXPECT_FALSE(ValidQueryPath("/otn/leftTicket/queryZ"));
  EXPECT_FALSE(ValidQueryPath("../login/init"));
  EXPECT_FALSE(ValidQueryPath("leftTicket/query?x=1"));
  EXPECT_FALSE(ValidQueryPath("http://other.example/q"));
}

TEST(SimOptions, ServiceBehaviourOptions) {
  Options options;
  std::string error;
  const char* const good[] = {"quillet-sim", "--hours", "06:00-01:00", "--query-path", "leftTicket/queryZ",
                              "--throttle",  "3"};
  ASSERT_TRUE(ParseOptions(7, good, options, error)) << error;
  EXPECT_EQ(options.hours, "06:00-01:00");
  EXPECT_EQ(options.queryPath, "leftTicket/queryZ");
  EXPECT_EQ(options.throttle, 3);
  for (const auto& bad : std::vector<std::vector<const char*>>{{"quillet-sim", "--hours", "6-23"},
                                                               {"quillet-sim", "--query-path", "/x"},
                                                               {"quillet-sim", "--throttle", "-1"}}) {
    Options other;
    EXPECT_FALSE(ParseOptions(static_cast<int>(bad.size()), bad.data(), other, error)) << bad[1];
  }
}

}  // namespace
}  // namespace quillet::sim
