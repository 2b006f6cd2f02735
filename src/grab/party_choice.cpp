#include "grab/party_choice.h"

#include <algorithm>

#include "grab/grab_controller.h"
#include "grab/texts.h"

namespace quillet {

bool TicketsCoverParty(const std::string& ticketsText, int partySize) {
  if (ticketsText == grab_texts::PlentyOfTickets()) return partySize >= 1;
  if (ticketsText.empty() || !std::all_of(ticketsText.begin(), ticketsText.end(), [](char c) {
        return c >= '0' && c <= '9';
      })) {
    return false;
  }
  // A count the service could never show is still a number: no overflow.
  const std::size_t firstDigit = std::min(ticketsText.find_first_not_of('0'), ticketsText.size());
  if (ticketsText.size() - firstDigit > 6) return true;
  return std::stoi(ticketsText) >= partySize;
}

std::optional<PartyChoice> ChoosePartySeat(const PartyWish& wish,
                                           const std::vector<std::vector<TrainRecord>>& trainsByDate) {
  const auto firstCoveredSeat = [&](const TrainRecord& train) -> std::optional<std::string> {
    for (const std::string& code : wish.seatCodes) {
      std::string tickets;
      if (SeatTicketsFor(train, code, tickets) && TicketsCoverParty(tickets, wish.partySize)) return code;
    }
    return std::nullopt;
  };
  for (std::size_t d = 0; d < wish.dates.size() && d < trainsByDate.size(); ++d) {
    const std::vector<TrainRecord>& answer = trainsByDate[d];
    const auto choose = [&](const TrainRecord& train) -> std::optional<PartyChoice> {
      if (auto seat = firstCoveredSeat(train)) return PartyChoice{d, wish.dates[d], train, *seat};
      return std::nullopt;
    };
    if (wish.trains.empty()) {
      for (const TrainRecord& train : answer) {
        if (auto choice = choose(train)) return choice;
      }
      continue;
    }
    for (const std::string& code : wish.trains) {
      const auto train = std::find_if(answer.begin(), answer.end(),
                                      [&](const TrainRecord& t) { return t.stationTrainCode == code; });
      if (train == answer.end()) continue;
      if (auto choice = choose(*train)) return choice;
    }
  }
  return std::nullopt;
}

}  // namespace quillet
