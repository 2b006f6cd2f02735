#pragma once
// Which trains of an answer a wish wants by their times, and in which order
// it tries them: a departure and an arrival window ("07:00-21:00",
// "-22:30"), and an order for wishes that name no trains.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "booking/records.h"
#include "util/china_moment.h"

namespace quillet {

// A span of the day; a missing bound is open. Both bounds are included. A
// window whose end comes before its start runs past midnight ("22:00-02:00").
struct TimeWindow {
  std::optional<int> from;  // minutes since midnight
  std::optional<int> to;
  bool Open() const { return !from && !to; }
  bool Contains(int minute) const {
    if (from && to && *to < *from) return minute >= *from || minute <= *to;
    return (!from || minute >= *from) && (!to || minute <= *to);
  }
};

enum class TimeWindowProblem { kNone, kNoSeparator, kBadFrom, kBadTo, kNoBound };

struct TimeWindowReading {
  TimeWindow window;
  TimeWindowProblem problem = TimeWindowProblem::kNone;
};

// "07:00-21:00", "-22:30" or "07:00-"; spaces around the bounds are allowed.
TimeWindowReading ReadTimeWindow(std::string_view text);

// The order in which trains that are not named are tried.
enum class TrainOrder {
  kAnswer,     // as the service lists them
  kDeparture,  // earliest departure first
  kArrival,    // earliest arrival first
  kDuration,   // shortest journey first
};

// The trains a wish wants by their times.
struct TrainTimes {
  TimeWindow depart;
  TimeWindow arrive;
  TrainOrder order = TrainOrder::kAnswer;
  bool Limits() const { return !depart.Open() || !arrive.Open(); }
};

// True when the train's departure and arrival fall in the windows; a train
// whose time cannot be read is left out by a window on that time.
bool TrainFitsTimes(const TrainRecord& train, const TrainTimes& times);

// The answer's trains that fit the windows, in the given order; ties keep
// the answer's order.
std::vector<const TrainRecord*> TrainsInOrder(const std::vector<TrainRecord>& answer, const TrainTimes& times);

}  // namespace quillet
