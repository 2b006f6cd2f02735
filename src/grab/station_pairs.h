#pragma once
// A wish may name several departure and arrival stations in order of
// preference; each (from, to) pair is a query of its own.
#include <string>
#include <vector>

namespace quillet {

struct WishStation {
  std::string name;      // program text, "北京南"
  std::string telecode;  // "VNP"
};

struct StationPair {
  WishStation from, to;
};

// Every pair of the lists in preference order, departures first ("A or B to
// C or D": A-C, A-D, B-C, B-D); pairs of a station with itself are left out.
std::vector<StationPair> PairsOfStations(const std::vector<WishStation>& from, const std::vector<WishStation>& to);

}  // namespace quillet
