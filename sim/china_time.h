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

// The service's clock in Unix milliseconds: the machine's clock plus the
// shift set at start (--clock-shift-ms). Every time the service shows or
// judges (Date headers, the presale window, sale moments, orders) is read
// from it; the request log alone keeps the machine's own time.
std::int64_t UnixMsNow();
// Set once before the service starts answering.
void SetClockShiftMs(std::int64_t shiftMs);

// "yyyy-MM-dd"; the parse accepts exactly that form of a real date.
std::string FormatDate(const Date& date);
std::optional<Date> ParseDate(std::string_view text);
// "yyyyMMdd".
std::string CompactDate(const Date& date);

// Milliseconds since the Unix epoch of the date's midnight in UTC+8.
std::int64_t ChinaMidnightMs(const Date& date);

// "yyyy-MM-dd HH:mm:ss" of a Unix time, in UTC+8.
std::string ChinaDateTimeText(std::int64_t unixMs);
// The same with milliseconds: "yyyy-MM-dd HH:mm:ss.mmm".
std::string ChinaDateTimeMsText(std::int64_t unixMs);
// Reads "yyyy-MM-dd HH:mm:ss" with an optional fraction of one to three
// digits (".5" is 500 ms) as a time in UTC+8; the Unix time in milliseconds.
std::optional<std::int64_t> ParseChinaDateTime(std::string_view text);

// An HTTP Date header value (IMF-fixdate, whole seconds, GMT), e.g.
// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string HttpDateText(std::int64_t unixMs);

// English three-letter names as a browser's Date.toString writes them.
const char* WeekdayAbbrev(int weekday);
const char* MonthAbbrev(int month);

}  // namespace quillet::sim
