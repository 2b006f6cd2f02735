#include "grab/train_window.h"

#include <algorithm>
#include <limits>

namespace quillet {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The service writes a journey's length as "HH:MM", hours beyond 23 included.
std::optional<int> MinutesOfDuration(std::string_view hhmm) {
  if (hhmm.size() < 4 || hhmm.size() > 6 || hhmm[hhmm.size() - 3] != ':') return std::nullopt;
  int hours = 0;
  for (char c : hhmm.substr(0, hhmm.size() - 3)) {
    if (!IsDigit(c)) return std::nullopt;
    hours = hours * 10 + (c - '0');
  }
  const std::string_view minutes = hhmm.substr(hhmm.size() - 2);
  if (!IsDigit(minutes[0]) || !IsDigit(minutes[1]) || minutes[0] > '5') return std::nullopt;
  return hours * 60 + (minutes[0] - '0') * 10 + (minutes[1] - '0');
}

std::optional<int> SortKey(const TrainRecord& train, TrainOrder order) {
  switch (order) {
    case TrainOrder::kDeparture:
      return MinuteOfDay(train.startTime);
    case TrainOrder::kArrival:
      return MinuteOfDay(train.arriveTime);
    case TrainOrder::kDuration:
      return MinutesOfDuration(train.duration);
    case TrainOrder::kAnswer:
      break;
  }
  return 0;
}

}  // namespace

TimeWindowReading ReadTimeWindow(std::string_view text) {
  TimeWindowReading reading;
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) {
    reading.problem = TimeWindowProblem::kNoSeparator;
    return reading;
  }
  const std::string_view from = Trimmed(text.substr(0, dash));
  const std::string_view to = Trimmed(text.substr(dash + 1));
  if (!from.empty()) {
    reading.window.from = MinuteOfDay(from);
    if (!reading.window.from) reading.problem = TimeWindowProblem::kBadFrom;
  }
  if (reading.problem == TimeWindowProblem::kNone && !to.empty()) {
    reading.window.to = MinuteOfDay(to);
    if (!reading.window.to) reading.problem = TimeWindowProblem::kBadTo;
  }
  if (reading.problem == TimeWindowProblem::kNone && from.empty() && to.empty()) {
    reading.problem = TimeWindowProblem::kNoBound;
  }
  if (reading.problem != TimeWindowProblem::kNone) reading.window = {};
  return reading;
}

bool TrainFitsTimes(const TrainRecord& train, const TrainTimes& times) {
  const auto fits = [](const TimeWindow& window, const std::string& time) {
    if (window.Open()) return true;
    const std::optional<int> minute = MinuteOfDay(time);
    return minute && window.Contains(*minute);
  };
  return fits(times.depart, train.startTime) && fits(times.arrive, train.arriveTime);
}

std::vector<const TrainRecord*> TrainsInOrder(const std::vector<TrainRecord>& answer, const TrainTimes& times) {
  std::vector<const TrainRecord*> trains;
  for (const TrainRecord& train : answer) {
    if (TrainFitsTimes(train, times)) trains.push_back(&train);
  }
  if (times.order != TrainOrder::kAnswer) {
    // A train whose time cannot be read goes last.
    const auto key = [&](const TrainRecord* train) {
      return SortKey(*train, times.order).value_or(std::numeric_limits<int>::max());
    };
    std::stable_sort(trains.begin(), trains.end(),
                     [&](const TrainRecord* a, const TrainRecord* b) { return key(a) < key(b); });
  }
  return trains;
}

}  // namespace quillet
