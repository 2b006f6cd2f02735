#include "timetable.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "rng.h"

namespace quillet::sim {

const std::vector<SeatClass>& SeatClasses() {
  static const std::vector<SeatClass> kClasses = {
      {"9", "商务座", 32, 1.46}, {"M", "一等座", 31, 0.74}, {"O", "二等座", 30, 0.46}, {"5", "动卧", 23, 0.62},
      {"4", "软卧", 23, 0.41},   {"3", "硬卧", 28, 0.26},   {"1", "硬座", 29, 0.14},   {"W", "无座", 26, 0.14},
  };
  return kClasses;
}

const SeatClass* FindSeatClass(const std::string& code) {
  for (const SeatClass& c : SeatClasses()) {
    if (code == c.code) return &c;
  }
  return nullptr;
}

bool TrainProfile::Offers(const std::string& seatCode) const {
  return std::find(seatCodes.begin(), seatCodes.end(), seatCode) != seatCodes.end();
}

int TrainRun::FareTenths(const std::string& seatCode) const {
  const SeatClass* seat = FindSeatClass(seatCode);
  double rate = seat ? seat->yuanPerKm : 0.3;
  if (seatCode == "W") rate = profile.Offers("O") ? 0.46 : 0.14;  // standing pays the seat fare
  return std::max(20, static_cast<int>(distanceKm * rate * 10.0 + 0.5));
}

std::string ClockText(int minutes) {
  minutes = ((minutes % 1440) + 1440) % 1440;
  char buf[80];
  std::snprintf(buf, sizeof buf, "%02d:%02d", minutes / 60, minutes % 60);
  return buf;
}

Timetable::Timetable(std::uint64_t seed, const StationTable& stations) : seed_(seed), stations_(stations) {}

TrainProfile Timetable::Profile(const std::string& code) const {
  TrainProfile p;
  p.code = code;
  Rng rng(HashText(seed_, "train:" + code));
  const char kind = code.empty() ? 'K' : code[0];
  switch (kind) {
    case 'G':
      p.seatCodes = {"9", "M", "O", "W"};
      break;
    case 'D':
      if (rng.Chance(0.25)) {
        p.seatCodes = {"5", "O", "W"};  // night train with sleeping berths
      } else {
        p.seatCodes = {"M", "O", "W"};
      }
      break;
    case 'K':
      if (rng.Chance(0.2)) {
        p.seatCodes = {"3", "1", "W"};
      } else {
        p.seatCodes = {"4", "3", "1", "W"};
      }
      break;
    default:
      p.seatCodes = {"4", "3", "1", "W"};
      break;
  }
  p.canWebBuy = !rng.Chance(0.08);
  static constexpr char kLetters[] = "PQHKGCWOJ";
  p.location = std::string(1, kLetters[rng.Below(sizeof kLetters - 1)]) + std::to_string(rng.Between(1, 9));
  std::string padded = code;
  while (padded.size() < 8) padded.insert(padded.begin(), '0');
  char bureau[80];
  std::snprintf(bureau, sizeof bureau, "%02d", rng.Between(1, 99));
  char suffix[80];
  std::snprintf(suffix, sizeof suffix, "%X%X", rng.Between(0, 15), rng.Between(0, 15));
  p.trainNo = std::string(bureau) + padded + suffix;
  return p;
}

std::vector<TrainRun> Timetable::Runs(const std::string& fromTelecode, const std::string& toTelecode) const {
  std::vector<TrainRun> runs;
  if (fromTelecode == toTelecode || !stations_.ByTelecode(fromTelecode) || !stations_.ByTelecode(toTelecode)) {
    return runs;
  }
  // The distance is the same both ways; the trains are not.
  const std::string unordered =
      fromTelecode < toTelecode ? fromTelecode + "-" + toTelecode : toTelecode + "-" + fromTelecode;
  Rng pairRng(HashText(seed_, "distance:" + unordered));
  const int distanceKm = pairRng.Between(90, 2200);
  Rng rng(HashText(seed_, "pair:" + fromTelecode + ">" + toTelecode));
  const int count = rng.Between(8, 30);
  const auto& all = stations_.All();
  const std::size_t bigCities = std::min<std::size_t>(all.size(), 60);
  std::set<std::string> codes;
  while (static_cast<int>(runs.size()) < count) {
    const std::uint64_t roll = rng.Below(100);
    const char kind = roll < 35 ? 'G' : roll < 55 ? 'D' : roll < 75 ? 'K' : roll < 90 ? 'T' : 'Z';
    const int number = (kind == 'T' || kind == 'Z') ? rng.Between(1, 399) : rng.Between(1, 9999);
    const std::string code = std::string(1, kind) + std::to_string(number);
    if (!codes.insert(code).second) continue;

    TrainRun run;
    run.profile = Profile(code);
    run.fromTelecode = fromTelecode;
    run.toTelecode = toTelecode;
    const bool startsHere = rng.Chance(0.5) || bigCities == 0;
    const bool endsThere = rng.Chance(0.5) || bigCities == 0;
    run.firstTelecode = startsHere ? fromTelecode : all[rng.Below(bigCities)].telecode;
    run.lastTelecode = endsThere ? toTelecode : all[rng.Below(bigCities)].telecode;
    run.fromStationNo = startsHere ? 1 : rng.Between(2, 8);
    run.toStationNo = run.fromStationNo + rng.Between(1, 12);
    double speed = 1.0;  // minutes per kilometre relative to a G train at 250 km/h
    switch (kind) {
      case 'G':
        speed = 1.0;
        break;
      case 'D':
        speed = 1.35;
        break;
      case 'Z':
        speed = 1.7;
        break;
      case 'T':
        speed = 1.9;
        break;
      default:
        speed = 2.3;
        break;
    }
    const double baseMinutes = distanceKm * 60.0 / 250.0 * speed;
    run.durationMinute = std::max(25, static_cast<int>(baseMinutes * (0.9 + rng.Below(25) / 100.0)));
    run.distanceKm = distanceKm;
    const bool sleeper = run.profile.Offers("5") || run.profile.Offers("4");
    if (kind == 'G' || (kind == 'D' && !sleeper)) {
      run.departMinute = rng.Between(6 * 60, 21 * 60 + 30);
    } else if (sleeper && kind == 'D') {
      run.departMinute = rng.Between(18 * 60, 23 * 60 + 30);
    } else {
      run.departMinute = rng.Between(0, 24 * 60 - 1);
    }
    runs.push_back(std::move(run));
  }
  std::stable_sort(runs.begin(), runs.end(),
                   [](const TrainRun& a, const TrainRun& b) { return a.departMinute < b.departMinute; });
  return runs;
}

}  // namespace quillet::sim
