#include "grab/order_wish.h"

#include "grab/order_tables.h"

namespace quillet {

std::string SeatCodeForName(const std::string& seatName) {
  const SeatType* type = SeatTypeNamed(seatName);
  return type ? type->code : std::string();
}

std::vector<StationPair> StationPairsOf(const OrderWish& wish) {
  if (!wish.stationPairs.empty()) return wish.stationPairs;
  return {{wish.from, wish.to}};
}

}  // namespace quillet
