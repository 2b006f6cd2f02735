#pragma once
// Travel dates as a person writes them in a plan or on the command line:
// "2026-12-20", or counted from today in China Standard Time, "today" and
// "today+5". Only the days on sale are accepted.
#include <chrono>
#include <optional>
#include <string>

namespace quillet::cli {

// Travel dates run from today to today + kPresaleDays - 1, China Standard Time.
inline constexpr int kPresaleDays = 30;

std::chrono::sys_days TodayInChina();
// "yyyy-MM-dd"
std::string DateText(std::chrono::sys_days day);
// "yyyy-MM-dd" of a real day; nothing otherwise.
std::optional<std::chrono::sys_days> ParseDate(const std::string& text);

struct TravelDate {
  std::string date;     // yyyy-MM-dd when good
  std::string problem;  // UTF-8, for the terminal; empty when good
};
// `written` as the person wrote it; the problem names it.
TravelDate ReadTravelDate(const std::string& written, std::chrono::sys_days today);

}  // namespace quillet::cli
