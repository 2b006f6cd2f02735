#include "booking/station_sale_times.h"

#include <cctype>

#include "util/china_moment.h"
#include "util/text.h"

namespace quillet {

namespace {

bool IsTelecode(std::string_view text) {
  if (text.size() != 3) return false;
  for (const char c : text) {
    if (!std::isupper(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

std::optional<StationSaleTimes> ReadStationSaleTimes(std::string_view script) {
  const int open = FindText(script, "citys");
  if (open == kNotFound) return std::nullopt;
  const int braceAt = FindText(script, "{", open);
  const int closeAt = braceAt == kNotFound ? kNotFound : FindText(script, "}", braceAt);
  if (closeAt == kNotFound) return std::nullopt;
  const std::string_view table =
      script.substr(static_cast<std::size_t>(braceAt), static_cast<std::size_t>(closeAt - braceAt - 1));
  StationSaleTimes times;
  for (const std::string& entry : SplitText(table, ",")) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = TextBetween(entry.substr(0, colon), "\"", "\"");
    const std::string value = TextBetween(entry.substr(colon + 1), "\"", "\"");
    const std::optional<int> minute = MinuteOfDay(value);
    if (!IsTelecode(key) || !minute) continue;
    times.openingMinute[key] = *minute;
  }
  if (times.openingMinute.empty()) return std::nullopt;
  const int daysAt = FindText(script, "presaleDays");
  if (daysAt != kNotFound) {
    const std::string days = TrimSpaces(TextBetween(script, "=", ";", daysAt));
    const int n = ToInteger(days);
    if (n >= 1 && n <= 366 && std::to_string(n) == days) times.presaleDays = n;
  }
  return times;
}

std::optional<std::chrono::system_clock::time_point> SaleOpeningOf(std::string_view date, int openingMinute,
                                                                   int presaleDays) {
  const std::optional<std::chrono::system_clock::time_point> midnight =
      ParseChinaMoment(std::string(date) + " 00:00:00");
  if (!midnight || date.size() != 10) return std::nullopt;
  return *midnight - std::chrono::days(presaleDays - 1) + std::chrono::minutes(openingMinute);
}

}  // namespace quillet
