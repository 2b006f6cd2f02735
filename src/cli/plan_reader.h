#pragma once
// Reads and checks a grab plan (TOML). Every key is checked before anything
// is sent; each problem names the file, the line and what is wrong.
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "cli/plan.h"
#include "cli/travel_date.h"
#include "stations/station_directory.h"

namespace quillet::cli {

struct PlanError {
  std::string file;
  int line = 0;         // 0 when the problem has no line (an unreadable file)
  std::string message;  // UTF-8, for the terminal
};
// "plan.toml:12: message"
std::string DescribePlanError(const PlanError& error);

struct PlanReading {
  Plan plan;  // complete only when there are no errors
  std::vector<PlanError> errors;
  bool Ok() const { return errors.empty(); }
};

inline constexpr int kMaxPassengers = 5;

PlanReading ReadPlanFile(const std::string& path, const StationDirectory& stations, std::chrono::sys_days today);
// The same for a plan already in memory; `path` names it in messages and
// anchors a relative ca_file.
PlanReading ReadPlanText(std::string_view text, const std::string& path, const StationDirectory& stations,
                         std::chrono::sys_days today);

}  // namespace quillet::cli
