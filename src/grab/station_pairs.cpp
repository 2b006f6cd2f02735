#include "grab/station_pairs.h"

namespace quillet {

std::vector<StationPair> PairsOfStations(const std::vector<WishStation>& from, const std::vector<WishStation>& to) {
  std::vector<StationPair> pairs;
  for (const WishStation& departure : from) {
    for (const WishStation& arrival : to) {
      if (departure.telecode != arrival.telecode) pairs.push_back({departure, arrival});
    }
  }
  return pairs;
}

}  // namespace quillet
