#include "grab/class_seen.h"

#include <algorithm>

#include "grab/grab_controller.h"
#include "grab/texts.h"

namespace quillet {
namespace {

// Plenty first, then larger counts, then any other word of the service (无,
// 候补 ...); "--" and an empty text mean the train does not sell the class.
long Rank(const std::string& tickets) {
  if (tickets.empty() || tickets == "--") return -2;
  if (tickets == grab_texts::PlentyOfTickets()) return 1'000'000'000;
  if (tickets.size() <= 6 && std::all_of(tickets.begin(), tickets.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::stol(tickets);
  }
  return -1;
}

}  // namespace

ClassesSeen::ClassesSeen(std::vector<std::string> seatCodes, std::vector<std::string> trains)
    : trains_(std::move(trains)) {
  for (std::string& code : seatCodes) best_.push_back(ClassSeen{std::move(code), {}, {}, {}});
}

void ClassesSeen::Answered(const std::string& date, const std::vector<TrainRecord>& answer) {
  for (const TrainRecord& train : answer) {
    if (!trains_.empty() && std::find(trains_.begin(), trains_.end(), train.stationTrainCode) == trains_.end()) {
      continue;
    }
    for (ClassSeen& seen : best_) {
      std::string tickets;
      if (!SeatTicketsFor(train, seen.seatType, tickets) || Rank(tickets) <= Rank(seen.tickets)) continue;
      seen.tickets = tickets;
      seen.train = train.stationTrainCode;
      seen.date = date;
    }
  }
}

}  // namespace quillet
