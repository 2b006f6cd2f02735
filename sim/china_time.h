#pragma once
// Calendar dates and times as the booking service sees them: in China
// Standard Time (UTC+8), whatever the machine's own time zone is.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::sim {

struct Date {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  friend bool operator==(const Date&, const Date&) = default;
};

// Days since 1970-01-01 and back.
std::int64_t DaysFromCivil(const Date& date);
Date CivilFromDays(std::int64_t days);

// 0 = Sunday ... 6 = Saturday.
int Weekday(const Date& date);

// Today's date in UTC+8 for the given Unix time in milliseconds.
Date ChinaDate(std::int64_t unixMs);
std::int64_t UnixMsNow();

// "yyyy-MM-dd"; the parse accepts exactly that form of a real date.
std::string FormatDate(const Date& date);
std::optional<Date> ParseDate(std::string_view text);
// "yyyyMMdd".
std::string CompactDate(const Date& date);

// Milliseconds since the Unix epoch of the date's midnight in UTC+8.
std::int64_t ChinaMidnightMs(const Date& date);

// "yyyy-MM-dd HH:mm:ss" of a Unix time, in UTC+8.
std::string ChinaDateTimeText(std::int64_t unixMs);

// English three-letter names as a browser's Date.toString writes them.
const char* WeekdayAbbrev(int weekday);
const char* MonthAbbrev(int month);

}  // namespace quillet::sim
