// Where and when: the stations' sale openings and the seats sold out by
// position or berth.
#include <algorithm>

#include "answers.h"
#include "booking_service.h"

namespace quillet::sim {

std::optional<std::int64_t> BookingService::SaleOpeningMs(const std::string& date,
                                                          const std::string& fromTelecode) const {
  if (const auto moment = sales_.OpeningOf(date)) return moment;
  return stationSales_.OpeningMs(date, fromTelecode);
}

SimResponse BookingService::StationSaleTimes(const SimRequest&) {
  return SimResponse{200, "application/javascript;charset=UTF-8", stationSales_.Script(stations_), {}};
}

bool BookingService::SetTaken(const std::string& date, const std::string& train, const std::string& seat,
                              const std::string& positions, const std::string& berths, std::string& answer) {
  if (!ParseDate(date)) {
    answer = "date must be yyyy-MM-dd";
    return false;
  }
  if (train.empty()) {
    answer = "train must name a train code";
    return false;
  }
  const std::string letters = PositionLetters(seat);
  const std::vector<std::string> names = BerthNames(seat);
  TakenPlaces taken;
  for (const char letter : positions) {
    if (letter == ',') continue;
    if (letters.find(letter) == std::string::npos) {
      answer = "positions must be letters of the class's seats: " + (letters.empty() ? "none" : letters);
      return false;
    }
    taken.positions.insert(std::string(1, letter));
  }
  std::size_t start = 0;
  while (start < berths.size()) {
    std::size_t end = berths.find(',', start);
    if (end == std::string::npos) end = berths.size();
    const std::string berth = berths.substr(start, end - start);
    start = end + 1;
    if (berth.empty()) continue;
    if (std::find(names.begin(), names.end(), berth) == names.end()) {
      answer = "berths must be berths of the class, 上铺, 中铺 or 下铺";
      return false;
    }
    taken.berths.insert(berth);
  }
  std::string json = "{\"positions\":[";
  for (const std::string& p : taken.positions) json += (json.back() == '[' ? "" : ",") + JsonStringFromUtf8(p);
  json += "],\"berths\":[";
  for (const std::string& b : taken.berths) json += (json.back() == '[' ? "" : ",") + JsonStringFromUtf8(b);
  answer = json + "]}";
  Lock lock(mutex_);
  taken_[date + "|" + train + "|" + seat] = std::move(taken);
  return true;
}

}  // namespace quillet::sim
