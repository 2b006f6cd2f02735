#include "china_time.h"

#include "util/china_moment.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace quillet::sim {

namespace {
constexpr std::int64_t kChinaOffsetMs = 8LL * 3600 * 1000;
constexpr std::int64_t kDayMs = 86400LL * 1000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::atomic<std::int64_t> clockShiftMs{0};

}  // namespace

// Civil-date algorithms after Howard Hinnant's chrono-compatible formulas.
std::int64_t DaysFromCivil(const Date& date) {
  const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
  const std::int64_t era = FloorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (date.month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + date.day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Date CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = FloorDiv(days, 146097);
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  Date d;
  d.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  d.year = static_cast<int>(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
  return d;
}

int Weekday(const Date& date) {
  const std::int64_t days = DaysFromCivil(date);
  return static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
}

Date ChinaDate(std::int64_t unixMs) { return CivilFromDays(FloorDiv(unixMs + kChinaOffsetMs, kDayMs)); }

std::int64_t UnixMsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
             .count() +
         clockShiftMs.load(std::memory_order_relaxed);
}

void SetClockShiftMs(std::int64_t shiftMs) { clockShiftMs.store(shiftMs, std::memory_order_relaxed); }

std::string FormatDate(const Date& date) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", date.year, date.month, date.day);
  return buf;
}

std::string CompactDate(const Date& date) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", date.year, date.month, date.day);
  return buf;
}

std::optional<Date> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int parts[3] = {0, 0, 0};
  const std::size_t starts[3] = {0, 5, 8};
  const std::size_t lengths[3] = {4, 2, 2};
  for (int p = 0; p < 3; ++p) {
    for (std::size_t i = 0; i < lengths[p]; ++i) {
      const char c = text[starts[p] + i];
      if (c < '0' || c > '9') return std::nullopt;
      parts[p] = parts[p] * 10 + (c - '0');
    }
  }
  const Date date{parts[0], parts[1], parts[2]};
  if (date.month < 1 || date.month > 12 || date.day < 1) return std::nullopt;
  if (CivilFromDays(DaysFromCivil(date)) != date) return std::nullopt;  // 2026-02-30 and the like
  return date;
}

std::int64_t ChinaMidnightMs(const Date& date) { return DaysFromCivil(date) * kDayMs - kChinaOffsetMs; }

std::string ChinaDateTimeText(std::int64_t unixMs) {
  const std::int64_t local = unixMs + kChinaOffsetMs;
  const Date d = CivilFromDays(FloorDiv(local, kDayMs));
  const std::int64_t secondOfDay = (local - FloorDiv(local, kDayMs) * kDayMs) / 1000;
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                static_cast<int>(secondOfDay % 60));
  return buf;
}

std::string ChinaDateTimeMsText(std::int64_t unixMs) {
  char buf[16];
  std::snprintf(buf, sizeof buf, ".%03d", static_cast<int>(unixMs - FloorDiv(unixMs, 1000) * 1000));
  return ChinaDateTimeText(unixMs) + buf;
}

std::optional<std::int64_t> ParseChinaDateTime(std::string_view text) {
  const auto moment = ParseChinaMoment(text);
  if (!moment) return std::nullopt;
  return std::chrono::duration_cast<std::chrono::milliseconds>(moment->time_since_epoch()).count();
}

std::string HttpDateText(std::int64_t unixMs) {
  const std::int64_t seconds = FloorDiv(unixMs, 1000);
  const Date d = CivilFromDays(FloorDiv(seconds, 86400));
  const std::int64_t secondOfDay = seconds - FloorDiv(seconds, 86400) * 86400;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", WeekdayAbbrev(Weekday(d)), d.day,
                MonthAbbrev(d.month), d.year, static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
  return buf;
}

const char* WeekdayAbbrev(int weekday) {
  static const char* const kNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  return kNames[((weekday % 7) + 7) % 7];
}

const char* MonthAbbrev(int month) {
  static const char* const kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return kNames[((month - 1) % 12 + 12) % 12];
}

}  // namespace quillet::sim
