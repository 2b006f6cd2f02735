#pragma once
// Which seats an order gets. The party's asked positions (choose_seats,
// "1F2F": row and letter per passenger) and berths (seatDetailType, "100":
// how many lower, middle and upper) are honoured when the class has them and
// they are not all taken; otherwise the passenger gets another seat.
#include <set>
#include <string>
#include <vector>

#include "rng.h"

namespace quillet::sim {

struct GivenSeat {
  std::string seatName;  // "07F号", "12号下铺", "031号", "无座"
  std::string position;  // "F"; empty for a class without lettered seats
  std::string berth;     // "下铺"; empty for a class without berths
};

// What is sold out in one class of one train and date: lettered positions
// ("F") and berths ("下铺").
struct TakenPlaces {
  std::set<std::string> positions;
  std::set<std::string> berths;
};

std::vector<GivenSeat> AssignSeats(Rng& rng, const std::string& seatCode, const std::string& chooseSeats,
                                   const std::string& seatDetailType, std::size_t partySize, const TakenPlaces& taken);

// The letters and berths of a class, in row order; empty when it has none.
std::string PositionLetters(const std::string& seatCode);
std::vector<std::string> BerthNames(const std::string& seatCode);

}  // namespace quillet::sim
