#include "cli/plan_wishes.h"

#include <algorithm>

namespace quillet::cli {

PlanWishes WishesForPlan(const Plan& plan, const std::vector<PassengerRecord>& accountPassengers) {
  PlanWishes result;
  for (const PlanWish& planWish : plan.wishes) {
    OrderWish wish;
    wish.choice = OrderWish::Choice::kParty;
    wish.from = {planWish.from.name, planWish.from.telecode};
    wish.to = {planWish.to.name, planWish.to.telecode};
    wish.dates = planWish.dates;
    wish.trains = planWish.trains;
    wish.ticketType = planWish.ticketType;
    wish.startAt = planWish.startAt;
    wish.times = planWish.times;
    if (planWish.fromStations.size() > 1 || planWish.toStations.size() > 1) {
      std::vector<WishStation> from, to;
      for (const PlanStation& station : planWish.fromStations) from.push_back({station.name, station.telecode});
      for (const PlanStation& station : planWish.toStations) to.push_back({station.name, station.telecode});
      wish.stationPairs = PairsOfStations(from, to);
    }
    for (const PlanSeat& seat : planWish.seats) wish.seatTypes.push_back(seat.code);
    for (const std::string& name : planWish.passengers) {
      const auto found = std::find_if(accountPassengers.begin(), accountPassengers.end(),
                                      [&](const PassengerRecord& p) { return p.passenger_name == name; });
      if (found == accountPassengers.end()) {
        if (std::find(result.unknownNames.begin(), result.unknownNames.end(), name) == result.unknownNames.end()) {
          result.unknownNames.push_back(name);
        }
        continue;
      }
      wish.passengers.push_back(
          {found->passenger_name, found->passenger_type, found->passenger_id_type_code, found->passenger_id_no});
    }
    result.wishes.push_back(std::move(wish));
  }
  return result;
}

}  // namespace quillet::cli
