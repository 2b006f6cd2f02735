#pragma once
// What to book: the order wish as a value.
#include <array>
#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "booking/records.h"
#include "booking/seat_choice.h"
#include "grab/station_pairs.h"
#include "grab/train_window.h"

namespace quillet {

struct WishPassenger {
  std::string name;
  std::string passengerType;  // the service's code, "1"
  std::string idType;         // the service's code, "1"
  std::string idNo;
  std::string ticketType{};  // the service's code; empty: the wish's
};

// One order wish. The lists allow several trains, dates and passengers;
// the window makes wishes with one of each, and the workers book the
// first train on the first date for the first passenger.
struct OrderWish {
  std::vector<std::string> trains;  // station train codes, "G101"
  std::vector<std::string> dates;   // yyyy-MM-dd
  WishStation from, to;
  std::vector<WishPassenger> passengers;
  std::string ticketType;              // the service's code, "1".."4"
  std::vector<std::string> seatTypes;  // the service's seat type codes, in the order to try
  // How the front end that made the wish shows it in its task list (the
  // window: its eight columns); the core does not read them. Empty for
  // wishes made elsewhere.
  std::array<std::string, 8> dialogTexts;
  // How the worker chooses what to order. The window's wishes keep the
  // classic rule (the first train for one passenger, any class that is not
  // sold out); plan wishes look at every date and train in order and need
  // enough tickets for the whole party.
  enum class Choice { kWindow, kParty };
  Choice choice = Choice::kWindow;
  // When the wish may send its first query, on the service's clock (a sale
  // opening); none: at once.
  std::optional<std::chrono::system_clock::time_point> startAt;
  // Party wishes: the departure and arrival windows and the order of trains
  // that are not named.
  TrainTimes times{};
  // Party wishes: every (from, to) pair to query, in order of preference;
  // empty: from -> to alone.
  std::vector<StationPair> stationPairs{};
  // Where the party asks to sit, one per passenger in order: positions for
  // classes with lettered seats, berths for sleeper classes; empty: no wish.
  std::vector<SeatPosition> seatPositions{};
  std::vector<Berth> berths{};
  // Ends a party wish's worker from outside, as a stop does (its waitlist
  // order was filled); none: never.
  std::stop_token endedElsewhere;
};

// The pairs a wish queries: its stationPairs, or from -> to.
std::vector<StationPair> StationPairsOf(const OrderWish& wish);

// Seat name -> service seat type code; "" when the name has no code (无座).
std::string SeatCodeForName(const std::string& seatName);

}  // namespace quillet
