#include "util/datetime.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cmath>
#include <cstring>
#include <ctime>

#include "util/codepage.h"
#include "util/text.h"

namespace quillet {
namespace {

constexpr long long kEpochOffset = 25569;  // 1970-01-01 as a day number from 1899-12-30
constexpr double kFirstDay = -657434;      // 0100-01-01
constexpr double kLastDay = 2958465;       // 9999-12-31
constexpr long long kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// Splits a date-time value, rounding the time of day to `unit` milliseconds.
// The integer part is the day and the fraction's absolute value the time, so
// -1.25 is 1899-12-29 06:00 as with the platform's variant dates.
bool Breakdown(double value, long long unit, CivilDateTime& out) {
  if (!(value > kFirstDay - 1 && value < kLastDay + 1)) return false;
  long long dayNumber = static_cast<long long>(value);  // toward zero
  long long ms = std::llround(std::fabs(value - static_cast<double>(dayNumber)) * kMsPerDay / unit) * unit;
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++dayNumber;
  }
  if (dayNumber < kFirstDay || dayNumber > kLastDay) return false;
  CivilFromDays(dayNumber - kEpochOffset, out.year, out.month, out.day);
  out.weekday = static_cast<int>(((dayNumber % 7) + 7 + 6) % 7);  // 1899-12-30 was a Saturday
  out.hour = static_cast<int>(ms / 3600000);
  out.minute = static_cast<int>(ms / 60000 % 60);
  out.second = static_cast<int>(ms / 1000 % 60);
  out.millisecond = static_cast<int>(ms % 1000);
  return true;
}

void AppendNumber(std::string& out, int value, int digits) {
  char buf[16];
  const int n = std::snprintf(buf, sizeof buf, "%0*d", digits, value);
  out.append(buf, static_cast<std::size_t>(n));
}

// Renders the picture characters yyyy MM dd hh HH mm ss; every other byte is
// copied, double-byte characters whole.
std::string Render(std::string_view pattern, const CivilDateTime& t) {
  std::string out;
  out.reserve(pattern.size() + 8);
  for (std::size_t i = 0; i < pattern.size();) {
    const std::string_view rest = pattern.substr(i);
    if (static_cast<unsigned char>(pattern[i]) >= 0x80) {
      out.append(rest.substr(0, 2));
      i += 2;
    } else if (rest.starts_with("yyyy")) {
      AppendNumber(out, t.year, 4);
      i += 4;
    } else if (rest.starts_with("MM")) {
      AppendNumber(out, t.month, 2);
      i += 2;
    } else if (rest.starts_with("dd")) {
      AppendNumber(out, t.day, 2);
      i += 2;
    } else if (rest.starts_with("hh")) {
      AppendNumber(out, t.hour % 12 == 0 ? 12 : t.hour % 12, 2);
      i += 2;
    } else if (rest.starts_with("HH")) {
      AppendNumber(out, t.hour, 2);
      i += 2;
    } else if (rest.starts_with("mm")) {
      AppendNumber(out, t.minute, 2);
      i += 2;
    } else if (rest.starts_with("ss")) {
      AppendNumber(out, t.second, 2);
      i += 2;
    } else {
      out.push_back(pattern[i]);
      ++i;
    }
  }
  return out;
}

struct StylePatterns {
  std::string date, time, monthDay, hourMinute, minuteSecond;
};

const std::array<StylePatterns, 4>& Styles() {
  static const std::array<StylePatterns, 4> styles = {{
      {Gbk(u8"yyyy年MM月dd日 "), Gbk(u8"hh时mm分ss秒"), Gbk(u8"MM月dd日"), Gbk(u8"hh时mm分"), Gbk(u8"mm分ss秒")},
      {"yyyy-MM-dd ", "hh:mm:ss", "MM-dd", "hh:mm", "mm:ss"},
      {"yyyy/MM/dd ", "hh/mm/ss", "MM/dd", "hh/mm", "mm/ss"},
      {"yyyyMMdd", "hhmmss", "MMdd", "hhmm", "mmss"},
  }};
  return styles;
}

}  // namespace

double DateValueFromCivil(int year, int month, int day, int hour, int minute, int second) {
  const long long dayNumber = DaysFromCivil(year, month, day) + kEpochOffset;
  const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return dayNumber >= 0 ? static_cast<double>(dayNumber) + fraction : static_cast<double>(dayNumber) - fraction;
}

bool CivilFromDateValue(double value, CivilDateTime& out) { return Breakdown(value, 1, out); }

CivilDateTime NowCivil() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  CivilDateTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  t.weekday = local.tm_wday;
  return t;
}

double NowDateValue() {
  const CivilDateTime t = NowCivil();
  return DateValueFromCivil(t.year, t.month, t.day, t.hour, t.minute, t.second) +
         t.millisecond / static_cast<double>(kMsPerDay);
}

bool TimeFormatIs24Hour(const char* format) {
  if (format == nullptr) return true;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    while (*p != '\0' && std::strchr("-_0^#", *p) != nullptr) ++p;  // flags
    while (*p >= '0' && *p <= '9') ++p;                             // width
    if (*p == 'E' || *p == 'O') ++p;                                // modifiers
    if (*p == '\0') break;
    if (std::strchr("IlrpP", *p) != nullptr) return false;
  }
  return true;
}

bool Is24HourClock() {
  locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) return true;  // unknown locale: the C locale's 24-hour clock
  const bool result = TimeFormatIs24Hour(nl_langinfo_l(T_FMT, user));
  freelocale(user);
  return result;
}

std::string FormatDateTime(std::optional<double> dateTime, int style, int part) {
  return FormatDateTime(dateTime, style, part, Is24HourClock());
}

std::string FormatDateTime(std::optional<double> dateTime, int style, int part, bool use24HourClock) {
  const double value = dateTime ? *dateTime : NowDateValue();
  if (style < 0 || style > 3) style = 0;
  const StylePatterns& s = Styles()[static_cast<std::size_t>(style)];
  std::string datePattern;
  std::string timePattern;
  switch (part) {
    case 1: datePattern = TrimSpaces(s.date); break;
    case 2: datePattern = s.monthDay; break;
    case 3: timePattern = s.time; break;
    case 4: timePattern = s.hourMinute; break;
    case 5: timePattern = s.minuteSecond; break;
    default:
      datePattern = s.date;
      timePattern = s.time;
      break;
  }
  if (use24HourClock) timePattern = ReplaceText(timePattern, "hh", "HH");
  return FormatWithPatterns(value, datePattern, timePattern);
}

std::string FormatWithPatterns(double dateTime, const std::string& datePattern, const std::string& timePattern) {
  CivilDateTime t;
  if (!Breakdown(dateTime, 1000, t)) return {};  // the platform rounds to whole seconds
  std::string out;
  if (datePattern.size() >= 3) out = Render(datePattern, t);
  if (timePattern.size() >= 3) out += Render(timePattern, t);
  return out;
}

}  // namespace quillet
