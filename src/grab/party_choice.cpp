#include "grab/party_choice.h"

#include <algorithm>

#include "grab/grab_controller.h"
#include "grab/texts.h"

namespace quillet {

bool TicketsCoverParty(const std::string& ticketsText, int partySize) {
  if (ticketsText == grab_texts::PlentyOfTickets()) return partySize >= 1;
  if (ticketsText.empty() ||
      !std::all_of(ticketsText.begin(), ticketsText.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  // A count the service could never show is still a number: no overflow.
  const std::size_t firstDigit = std::min(ticketsText.find_first_not_of('0'), ticketsText.size());
  if (ticketsText.size() - firstDigit > 6) return true;
  return std::stoi(ticketsText) >= partySize;
}

std::vector<PartyChoice> PartyChoicesOn(const PartyWish& wish, std::size_t dateIndex,
                                        const std::vector<TrainRecord>& answer) {
  std::vector<PartyChoice> choices;
  if (dateIndex >= wish.dates.size()) return choices;
  const auto addCoveredSeats = [&](const TrainRecord& train) {
    for (const std::string& code : wish.seatCodes) {
      std::string tickets;
      if (SeatTicketsFor(train, code, tickets) && TicketsCoverParty(tickets, wish.partySize)) {
        choices.push_back(PartyChoice{dateIndex, wish.dates[dateIndex], train, code});
      }
    }
  };
  if (wish.trains.empty()) {
    for (const TrainRecord* train : TrainsInOrder(answer, wish.times)) addCoveredSeats(*train);
    return choices;
  }
  for (const std::string& code : wish.trains) {
    const auto train =
        std::find_if(answer.begin(), answer.end(), [&](const TrainRecord& t) { return t.stationTrainCode == code; });
    if (train != answer.end() && TrainFitsTimes(*train, wish.times)) addCoveredSeats(*train);
  }
  return choices;
}

std::optional<PartyChoice> ChoosePartySeat(const PartyWish& wish,
                                           const std::vector<std::vector<TrainRecord>>& trainsByDate) {
  for (std::size_t d = 0; d < wish.dates.size() && d < trainsByDate.size(); ++d) {
    std::vector<PartyChoice> choices = PartyChoicesOn(wish, d, trainsByDate[d]);
    if (!choices.empty()) return std::move(choices.front());
  }
  return std::nullopt;
}

}  // namespace quillet
