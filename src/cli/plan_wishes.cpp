#include "cli/plan_wishes.h"

#include <algorithm>

#include "util/codepage.h"
#include "util/messages.h"

namespace quillet::cli {

namespace {

// The service sells student tickets only to passengers it lists as students
// ("3") and disabled-military tickets only to those it lists as such ("4");
// adult and child tickets may be bought for anyone.
bool TicketFitsPassenger(const std::string& ticketType, const PassengerRecord& passenger) {
  if (ticketType == "3" || ticketType == "4") return passenger.passenger_type == ticketType;
  return true;
}

}  // namespace

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
    wish.seatPositions = planWish.seatPositions;
    wish.berths = planWish.berths;
    wish.times = planWish.times;
    if (planWish.fromStations.size() > 1 || planWish.toStations.size() > 1) {
      std::vector<WishStation> from, to;
      for (const PlanStation& station : planWish.fromStations) from.push_back({station.name, station.telecode});
      for (const PlanStation& station : planWish.toStations) to.push_back({station.name, station.telecode});
      wish.stationPairs = PairsOfStations(from, to);
    }
    for (const PlanSeat& seat : planWish.seats) wish.seatTypes.push_back(seat.code);
    for (std::size_t p = 0; p < planWish.passengers.size(); ++p) {
      const std::string& name = planWish.passengers[p];
      const auto found = std::find_if(accountPassengers.begin(), accountPassengers.end(),
                                      [&](const PassengerRecord& record) { return record.passenger_name == name; });
      if (found == accountPassengers.end()) {
        if (std::find(result.unknownNames.begin(), result.unknownNames.end(), name) == result.unknownNames.end()) {
          result.unknownNames.push_back(name);
        }
        continue;
      }
      const auto& [ticketName, ticketType] = p < planWish.passengerTickets.size()
                                                 ? planWish.passengerTickets[p]
                                                 : std::pair{planWish.ticketTypeName, planWish.ticketType};
      if (!TicketFitsPassenger(ticketType, *found)) {
        result.ticketProblems.push_back(Format(_("wish %s: %s cannot travel on a %s: the account lists them as %s"),
                                               std::to_string(&planWish - plan.wishes.data() + 1), Utf8FromGbk(name),
                                               Utf8FromGbk(ticketName), Utf8FromGbk(found->passenger_type_name)));
      }
      wish.passengers.push_back({found->passenger_name, found->passenger_type, found->passenger_id_type_code,
                                 found->passenger_id_no, ticketType == planWish.ticketType ? "" : ticketType});
    }
    result.wishes.push_back(std::move(wish));
  }
  return result;
}

}  // namespace quillet::cli
