#pragma once
// quillet-grab trains FROM TO DATE: the trains of a day between two stations
// with each class's tickets, as the service answers without a sign-in.
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "booking/records.h"
#include "cli/command_line.h"

namespace quillet::cli {

// Writes the table (or JSON lines) to `out` and problems to `err`; returns
// the exit code: 0 listed, 1 the service did not answer with trains, 2 a bad
// station, date or option.
int RunTrains(const TrainsRequest& request, bool json, std::ostream& out, std::ostream& err,
              std::chrono::sys_days today);

// One line per train, columns aligned: code, departure and arrival with
// their stations, travel time, then each class the train offers with its
// tickets. UTF-8.
std::string TrainTable(const std::vector<TrainRecord>& trains);
// One JSON object per train and line.
std::string TrainJsonLines(const std::vector<TrainRecord>& trains);

}  // namespace quillet::cli
