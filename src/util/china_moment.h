#pragma once
// Moments as the booking service names them: a date and time of day in China
// Standard Time (UTC+8 all year), whatever the machine's own time zone is.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Reads "YYYY-MM-DD HH:MM:SS" with optional milliseconds ".mmm" (one to three
// digits, ".5" is 500 ms); nothing for any other form or a date or time that
// does not exist.
std::optional<std::chrono::system_clock::time_point> ParseChinaMoment(std::string_view text);

// "YYYY-MM-DD HH:MM:SS.mmm" in China Standard Time.
std::string ChinaMomentText(std::chrono::system_clock::time_point moment);

enum class IsoPrecision { kSeconds, kMilliseconds };
// ISO 8601 in China Standard Time with its offset: "2026-12-20T09:15:02+08:00",
// or "2026-12-20T09:15:02.123+08:00" (cut, not rounded, like the text above).
std::string ChinaIsoMoment(std::chrono::system_clock::time_point moment, IsoPrecision precision);

}  // namespace quillet
