#include "station_sales.h"

#include "china_time.h"
#include "rng.h"
#include "timetable.h"
#include "util/china_moment.h"

namespace quillet::sim {

void StationSales::Set(const StationSale& sale) {
  std::lock_guard<std::mutex> lock(mutex_);
  set_[sale.telecode] = sale.minuteOfDay;
}

int StationSales::MinuteOf(const std::string& telecode) const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = set_.find(telecode);
    if (it != set_.end()) return it->second;
  }
  // 08:00 to 17:00 in half hours, the same for a station on every run.
  return 8 * 60 + static_cast<int>(HashText(12306, telecode) % 19) * 30;
}

std::optional<std::int64_t> StationSales::OpeningMs(const std::string& date, const std::string& telecode) const {
  const auto day = ParseDate(date);
  if (!day) return std::nullopt;
  const Date saleDay = CivilFromDays(DaysFromCivil(*day) - (presaleDays_ - 1));
  return ChinaMidnightMs(saleDay) + MinuteOf(telecode) * 60000LL;
}

std::string StationSales::Script(const StationTable& stations) const {
  std::string script = "var citys={";
  bool first = true;
  for (const Station& station : stations.All()) {
    script += std::string(first ? "" : ",") + "\"" + station.telecode + "\":\"" +
              ClockText(MinuteOf(station.telecode)) + "\"";
    first = false;
  }
  return script + "};\nvar presaleDays=" + std::to_string(presaleDays_) + ";\n";
}

std::optional<StationSale> ParseStationSale(std::string_view text) {
  const std::size_t at = text.find('@');
  if (at != 3) return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i) {
    if (text[i] < 'A' || text[i] > 'Z') return std::nullopt;
  }
  const std::optional<int> minute = MinuteOfDay(text.substr(4));
  if (!minute) return std::nullopt;
  return StationSale{std::string(text.substr(0, 3)), *minute};
}

}  // namespace quillet::sim
