#pragma once
// Moments as the booking service names them: a date and time of day in China
// Standard Time (UTC+8 all year), whatever the machine's own time zone is.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The moments the program reads: the years 2000 to 2099. Further out a
// moment is a typing error (and past 2262 it would not fit the clock's type).
inline constexpr int kFirstMomentYear = 2000;
inline constexpr int kLastMomentYear = 2099;

// Reads "YYYY-MM-DD HH:MM:SS" with optional milliseconds ".mmm" (one to three
// digits, ".5" is 500 ms); nothing for any other form, a date or time that
// does not exist, or a year outside kFirstMomentYear..kLastMomentYear.
std::optional<std::chrono::system_clock::time_point> ParseChinaMoment(std::string_view text);

// The date of a moment in China Standard Time, "YYYY-MM-DD".
std::string ChinaDateText(std::chrono::system_clock::time_point moment);

// "YYYY-MM-DD HH:MM:SS.mmm" in China Standard Time.
std::string ChinaMomentText(std::chrono::system_clock::time_point moment);

// Minutes since midnight of a time of day written "HH:MM" (00:00 to 23:59);
// nothing for any other text ("7:00", "24:00", "--").
std::optional<int> MinuteOfDay(std::string_view hhmm);

enum class IsoPrecision { kSeconds, kMilliseconds };
// ISO 8601 in China Standard Time with its offset: "2026-12-20T09:15:02+08:00",
// or "2026-12-20T09:15:02.123+08:00" (cut, not rounded, like the text above).
std::string ChinaIsoMoment(std::chrono::system_clock::time_point moment, IsoPrecision precision);

}  // namespace quillet
