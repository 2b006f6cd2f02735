#pragma once
// The service's table of when each station starts selling: the time of day
// its sale opens, and how many days ahead a travel date goes on sale.
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

struct StationSaleTimes {
  // Each date goes on sale this many days ahead, counting the travel day:
  // with 15, the date 14 days after a day opens on that day.
  static constexpr int kDefaultPresaleDays = 15;
  std::map<std::string, int> openingMinute;  // telecode -> minutes after midnight, China Standard Time
  int presaleDays = kDefaultPresaleDays;
};

// Reads the table script: `var citys={"BJP":"08:00",...}` and, when the
// service states it, `var presaleDays=15`. Entries that are not a telecode
// with an "HH:MM" time are passed over; nothing when no entry is readable.
std::optional<StationSaleTimes> ReadStationSaleTimes(std::string_view script);

// When `date` (yyyy-MM-dd) goes on sale at a station opening `openingMinute`
// minutes after midnight: presaleDays - 1 days before it, at that time of
// day, China Standard Time. Nothing for a text that is not a date.
std::optional<std::chrono::system_clock::time_point> SaleOpeningOf(std::string_view date, int openingMinute,
                                                                   int presaleDays);

}  // namespace quillet
