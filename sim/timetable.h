#pragma once
// The trains the service invents: a stable set per station pair, derived
// from the seed and the pair. A train's code fixes its classes, its train
// number and whether it can be booked, so a code seen on several pairs is
// one train with one ticket stock.
#include <cstdint>
#include <string>
#include <vector>

#include "stations.h"

namespace quillet::sim {

struct SeatClass {
  const char* code;  // the service's seat type code
  const char* name;  // as shown to passengers
  int field;         // index of its count in a train text of the query
  double yuanPerKm;  // fare rate
};

// All classes the service knows; "W" (无座) cannot be ordered by code.
const std::vector<SeatClass>& SeatClasses();
const SeatClass* FindSeatClass(const std::string& code);

struct TrainProfile {
  std::string code;      // e.g. "G101"
  std::string trainNo;   // 12 characters, e.g. "240000G10103"
  std::string location;  // train_location, e.g. "P2"
  std::vector<std::string> seatCodes;
  bool canWebBuy = true;
  bool Offers(const std::string& seatCode) const;
};

// One train between the two stations of a query.
struct TrainRun {
  TrainProfile profile;
  std::string firstTelecode;  // where the train starts its journey
  std::string lastTelecode;   // where it ends
  std::string fromTelecode;   // the query's stations
  std::string toTelecode;
  int fromStationNo = 1;
  int toStationNo = 2;
  int departMinute = 0;    // minute of the day, UTC+8
  int durationMinute = 0;  // travel time
  int distanceKm = 0;
  int ArriveMinute() const { return (departMinute + durationMinute) % (24 * 60); }
  // Fare in tenths of a yuan.
  int FareTenths(const std::string& seatCode) const;
};

class Timetable {
 public:
  Timetable(std::uint64_t seed, const StationTable& stations);

  // The profile of a train code (valid for any code starting with G, D, K, T or Z).
  TrainProfile Profile(const std::string& code) const;
  // The trains between two known, different stations, by departure time.
  std::vector<TrainRun> Runs(const std::string& fromTelecode, const std::string& toTelecode) const;

 private:
  std::uint64_t seed_;
  const StationTable& stations_;
};

// "HH:MM" of a minute count.
std::string ClockText(int minutes);

}  // namespace quillet::sim
