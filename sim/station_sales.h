#pragma once
// When each station's sale opens: every day at its own time of day (China
// Standard Time), and a travel date goes on sale --presale-days days ahead,
// counting the travel day. Stations not set open at a time between 08:00
// and 17:00 that depends on the station. Set at start and at run time, read
// by the request threads, so it keeps its own lock.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "stations.h"

namespace quillet::sim {

struct StationSale {
  std::string telecode;
  int minuteOfDay = 0;  // China Standard Time
};

class StationSales {
 public:
  explicit StationSales(int presaleDays) : presaleDays_(presaleDays) {}

  void Set(const StationSale& sale);
  int MinuteOf(const std::string& telecode) const;
  int PresaleDays() const { return presaleDays_; }
  // When `date` goes on sale at the station, on the service's clock.
  std::optional<std::int64_t> OpeningMs(const std::string& date, const std::string& telecode) const;
  // The table as the service's script serves it: every station of `stations`.
  std::string Script(const StationTable& stations) const;

 private:
  const int presaleDays_;
  mutable std::mutex mutex_;
  std::map<std::string, int> set_;
};

// Reads "CODE@HH:MM" (a telecode of three capital letters).
std::optional<StationSale> ParseStationSale(std::string_view text);

}  // namespace quillet::sim
