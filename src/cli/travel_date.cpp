#include "cli/travel_date.h"

#include <cstdio>

#include "util/messages.h"

namespace quillet::cli {

std::chrono::sys_days TodayInChina() {
  return std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now() + std::chrono::hours(8));
}

std::string DateText(std::chrono::sys_days day) {
  const std::chrono::year_month_day ymd(day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return buf;
}

std::optional<std::chrono::sys_days> ParseDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  const std::chrono::year_month_day ymd{std::chrono::year(std::stoi(text.substr(0, 4))),
                                        std::chrono::month(static_cast<unsigned>(std::stoi(text.substr(5, 2)))),
                                        std::chrono::day(static_cast<unsigned>(std::stoi(text.substr(8, 2))))};
  if (!ymd.ok()) return std::nullopt;
  return std::chrono::sys_days(ymd);
}

namespace {

// "today" or "today+N" with N of one or two digits.
std::optional<std::chrono::sys_days> DayFromToday(const std::string& text, std::chrono::sys_days today) {
  if (text == "today") return today;
  if (text.rfind("today+", 0) != 0 || text.size() < 7 || text.size() > 8) return std::nullopt;
  int days = 0;
  for (std::size_t i = 6; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    days = days * 10 + (text[i] - '0');
  }
  return today + std::chrono::days(days);
}

}  // namespace

TravelDate ReadTravelDate(const std::string& written, std::chrono::sys_days today) {
  std::optional<std::chrono::sys_days> day = ParseDate(written);
  if (!day) day = DayFromToday(written, today);
  if (!day) return {{}, Format(_("\"%s\" is not a date written as yyyy-MM-dd (or today, today+1 ...)"), written)};
  const std::string date = DateText(*day);
  if (*day < today || *day >= today + std::chrono::days(kPresaleDays)) {
    return {{},
            Format(_("%s is outside the days on sale, %s to %s (China Standard Time)"), date, DateText(today),
                   DateText(today + std::chrono::days(kPresaleDays - 1)))};
  }
  return {date, {}};
}

}  // namespace quillet::cli
