#pragma once
// Which (date, train, seat class) a party of travellers orders, from the
// query answers of one pass. No network: the worker hands in what it got.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "booking/records.h"
#include "grab/train_window.h"

namespace quillet {

struct PartyWish {
  std::vector<std::string> dates;      // yyyy-MM-dd, in order of preference
  std::vector<std::string> trains;     // station train codes in order of preference; empty: any train
  std::vector<std::string> seatCodes;  // service seat type codes in order of preference
  int partySize = 1;
  // Limits both named and unnamed trains; orders the unnamed ones.
  TrainTimes times{};
};

struct PartyChoice {
  std::size_t dateIndex = 0;  // into PartyWish::dates
  std::string date;
  TrainRecord train;
  std::string seatCode;
};

// True when a remaining-ticket text covers every traveller: a number at
// least the party size, or "有". "--", "无", "*", empty and any other text
// count as none.
bool TicketsCoverParty(const std::string& ticketsText, int partySize);

// Every (train, seat class) of one date's answer that covers the party, in
// preference order: trains first (with no trains named, the order of
// wish.times, the answer's own by default), then seat classes. Trains outside
// the wish's time windows are left out.
std::vector<PartyChoice> PartyChoicesOn(const PartyWish& wish, std::size_t dateIndex,
                                        const std::vector<TrainRecord>& answer);

// trainsByDate[i] holds the query answer for wish.dates[i]; a date without
// an entry (or whose query failed and was handed in empty) has no trains.
// The first choice in preference order: dates first, then trains (with no
// trains named, the answer's own order), then seat classes. Nothing when no
// class of a wanted train covers the party.
std::optional<PartyChoice> ChoosePartySeat(const PartyWish& wish,
                                           const std::vector<std::vector<TrainRecord>>& trainsByDate);

}  // namespace quillet
