#pragma once
// When a party wish places a waitlist order and with which choices, from
// the query answers of one pass. No network.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "booking/waitlist_answers.h"
#include "grab/party_choice.h"

namespace quillet {

inline constexpr std::size_t kMaxWaitlistChoices = 6;

struct WaitlistPlacement {
  std::size_t dateIndex = 0;
  std::string date;
  struct Choice {
    TrainRecord train;
    std::string seatCode;
  };
  std::vector<Choice> choices;  // in preference order: trains first, then seat classes
};

// answersByDate[i] holds the answer for wish.dates[i], or nothing when that
// query failed. A placement only when every date answered, no wanted
// (train, class) has tickets for the whole party, and some wanted class is
// sold out on a train whose waitlist is open: then on the first date (in the
// wish's order) that has such classes, with those of that date, at most six.
std::optional<WaitlistPlacement> ChooseWaitlist(
    const PartyWish& wish, const std::vector<std::optional<std::vector<WaitlistTrain>>>& answersByDate);

// The latest deadline the service takes: two hours before the earliest
// departure of the choices, "yyyy-MM-dd HH:mm"; empty when a departure time
// does not read as "HH:mm" or the date as "yyyy-MM-dd".
std::string LatestWaitlistDeadline(const WaitlistPlacement& placement);

// "yyyy-MM-dd HH:mm" shifted by whole minutes; empty for a text not of that form.
std::string ShiftMinuteText(const std::string& moment, int minutes);

}  // namespace quillet
