#pragma once
// Waitlist orders as the service keeps them: a party waiting on one date for
// tickets of up to six (train, class) choices, filled before anyone can grab
// returned tickets, or ended by its deadline or a cancel request.
#include <cstdint>
#include <string>
#include <vector>

#include "accounts.h"
#include "timetable.h"
#include "tokens.h"

namespace quillet::sim {

inline constexpr std::size_t kMaxWaitlistChoices = 6;
inline constexpr std::size_t kMaxWaitlistParty = 5;
// The deadline may be at the latest this long before the earliest departure.
inline constexpr std::int64_t kWaitlistDeadlineLeadMs = 2LL * 60 * 60 * 1000;

struct WaitlistChoice {
  TrainRef ref;
  TrainRun run;
  std::string seatCode;
};

enum class WaitlistStatus { kWaiting, kFilled, kCancelled, kExpired };

// The service's status codes and names, as its state query answers them.
const char* WaitlistStatusCode(WaitlistStatus status);
const char* WaitlistStatusName(WaitlistStatus status);
// How /sim/state names a status.
const char* WaitlistStatusWord(WaitlistStatus status);

struct WaitlistOrder {
  std::string reserveNo;  // the waitlist order's id
  std::string account;
  std::vector<WaitlistChoice> choices;  // in the order of preference
  struct Member {
    Passenger passenger;
    std::string ticketType;
  };
  std::vector<Member> party;
  std::int64_t placedMs = 0;    // Unix time, service clock
  std::int64_t deadlineMs = 0;  // Unix time, service clock
  std::uint64_t placement = 0;  // counts up: the order they were placed in
  WaitlistStatus status = WaitlistStatus::kWaiting;
  std::string orderId;           // of the unpaid order it became, once filled
  std::size_t filledChoice = 0;  // the choice it was filled on
};

// What a session's waitlist chain has been given so far.
struct PendingWaitlist {
  std::string secretList;  // as the party check got it
  std::vector<WaitlistChoice> choices;
  bool submitted = false;  // submitOrderRequest accepted the choices
};

// "secret#seat|secret#seat|": the choices' secretStr (already decoded once)
// and seat class codes; empty pieces between bars are left out.
struct WaitlistPick {
  std::string secretStr;
  std::string seatCode;
};
bool ReadSecretList(const std::string& text, std::vector<WaitlistPick>& picks);

// "yyyy-MM-dd HH:mm" in China time; the Unix time in milliseconds.
std::optional<std::int64_t> ParseWaitlistDeadline(const std::string& text);

}  // namespace quillet::sim
