#include "util/china_moment.h"

#include <cstdio>

namespace quillet {
namespace {

using namespace std::chrono;

constexpr auto kChinaOffset = hours(8);

bool Digits(std::string_view text, std::size_t from, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

std::optional<system_clock::time_point> ParseChinaMoment(std::string_view text) {
  // "2026-12-06 08:00:00" is 19 characters; a fraction adds '.' and 1..3 digits.
  if (text.size() < 19 || text.size() == 20 || text.size() > 23) return std::nullopt;
  if (text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':') return std::nullopt;
  int y, mo, d, h, mi, s;
  if (!Digits(text, 0, 4, y) || !Digits(text, 5, 2, mo) || !Digits(text, 8, 2, d) || !Digits(text, 11, 2, h) ||
      !Digits(text, 14, 2, mi) || !Digits(text, 17, 2, s)) {
    return std::nullopt;
  }
  int ms = 0;
  if (text.size() > 19) {
    if (text[19] != '.' || !Digits(text, 20, text.size() - 20, ms)) return std::nullopt;
    for (std::size_t digits = text.size() - 20; digits < 3; ++digits) ms *= 10;
  }
  const year_month_day day{year(y), month(static_cast<unsigned>(mo)), std::chrono::day(static_cast<unsigned>(d))};
  if (!day.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;
  if (y < kFirstMomentYear || y > kLastMomentYear) return std::nullopt;
  const auto local = sys_days(day) + hours(h) + minutes(mi) + seconds(s) + milliseconds(ms);
  return time_point_cast<system_clock::duration>(local - kChinaOffset);
}

std::string ChinaMomentText(system_clock::time_point moment) {
  const auto local = floor<milliseconds>(moment) + kChinaOffset;
  const auto day = floor<days>(local);
  const year_month_day ymd(day);
  const hh_mm_ss time(local - day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d.%03d", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
  return text;
}

std::string ChinaDateText(system_clock::time_point moment) { return ChinaMomentText(moment).substr(0, 10); }

std::string ChinaIsoMoment(system_clock::time_point moment, IsoPrecision precision) {
  std::string text = ChinaMomentText(moment);
  text[10] = 'T';
  if (precision == IsoPrecision::kSeconds) text.resize(19);
  return text + "+08:00";
}

std::optional<int> MinuteOfDay(std::string_view hhmm) {
  const auto digit = [&](std::size_t i) { return hhmm[i] >= '0' && hhmm[i] <= '9'; };
  if (hhmm.size() != 5 || hhmm[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4)) return std::nullopt;
  const int hours = (hhmm[0] - '0') * 10 + (hhmm[1] - '0');
  const int minutes = (hhmm[3] - '0') * 10 + (hhmm[4] - '0');
  if (hours > 23 || minutes > 59) return std::nullopt;
  return hours * 60 + minutes;
}

}  // namespace quillet
