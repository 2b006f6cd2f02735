#include "booking/date_text.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "net/encoding.h"
#include "util/text.h"

namespace quillet {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr std::int64_t kChinaOffsetMs = 8 * 3'600'000;
// The furthest instant a browser date can hold, either side of 1970.
constexpr std::int64_t kMaxDateMs = 8'640'000'000'000'000;

// 中国标准时间 encoded to UTF-8 twice and percent-encoded, between parentheses.
constexpr char kZoneSuffix[] =
    "+(%C3%A4%C2%B8%C2%AD%C3%A5%C2%9B%C2%BD%C3%A6%C2%A0%C2%87%C3%A5%C2%87%C2%86%C3%A6%C2%97%C2%B6%C3%A9%C2%97"
    "%C2%B4)";

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// parseInt: leading white space, an optional sign, then decimal digits.
// Nothing when there are no digits or the value lies beyond any date.
std::optional<std::int64_t> ParseLeadingMilliseconds(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const std::size_t firstDigit = at;
  std::int64_t value = 0;
  bool outOfRange = false;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (!outOfRange) value = value * 10 + (text[at] - '0');
    if (value > kMaxDateMs) outOfRange = true;
  }
  if (at == firstDigit || outOfRange) return std::nullopt;
  return negative ? -value : value;
}

struct CivilDate {
  std::int64_t year;
  int month;  // 1..12
  int day;    // 1..31
};

// Proleptic Gregorian date of a day count since 1970-01-01.
CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

std::string BrowserDateText(std::string_view timestamp) {
  const std::optional<std::int64_t> ms = ParseLeadingMilliseconds(timestamp);
  if (!ms) return {};

  // The text always says GMT+0800 and the service reads it as Beijing time,
  // so it is rendered in that zone whatever the machine's own zone is.
  const std::int64_t local = *ms + kChinaOffsetMs;
  const std::int64_t days = FloorDiv(local, kMsPerDay);
  const std::int64_t msOfDay = local - days * kMsPerDay;
  const CivilDate date = CivilFromDays(days);
  const int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  const int seconds = static_cast<int>(msOfDay / 1000);

  char text[96];
  std::snprintf(text, sizeof text, "%s %s %d %s%04lld %02d:%02d:%02d GMT+0800", kWeekdays[weekday],
                kMonths[date.month - 1], date.day, date.year < 0 ? "-" : "",
                static_cast<long long>(date.year < 0 ? -date.year : date.year), seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return ReplaceText(UrlEncode(text), "%20", "+") + kZoneSuffix;
}

std::string MillisecondTimestamp(bool secondsOnly) {
  const auto now = std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
  std::string text = std::to_string(now.time_since_epoch().count());
  if (secondsOnly && text.size() > 10) text.resize(10);
  return text;
}

}  // namespace quillet
