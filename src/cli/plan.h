#pragma once
// A grab plan as read from its file: what to book, for whom, in which order
// of preference. Names are program text (GBK).
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "booking/seat_choice.h"
#include "grab/service_hours.h"
#include "grab/train_window.h"

namespace quillet::cli {

struct PlanStation {
  std::string name;
  std::string telecode;
};

struct PlanSeat {
  std::string name;  // 二等座
  std::string code;  // the service's seat type code, O
};

struct PlanWish {
  int line = 0;          // where its [[wish]] table starts
  PlanStation from, to;  // the first of each list
  // Every station of each end in order of preference ("from" may be a list).
  std::vector<PlanStation> fromStations, toStations;
  std::vector<std::string> dates;       // yyyy-MM-dd, in order of preference
  std::vector<std::string> trains;      // empty: any train
  std::vector<std::string> passengers;  // one order for all of them
  std::string ticketTypeName;           // 成人票
  std::string ticketType;               // the service's code, "1"
  // Per passenger, parallel to passengers: the name and code of its ticket
  // type (a passenger written as {name = ..., ticket = ...}), or ticket_type.
  std::vector<std::pair<std::string, std::string>> passengerTickets;
  std::vector<PlanSeat> seats;  // in order of preference
  // The sale opening, China Standard Time on the service's clock: no query
  // before it. None: at once.
  std::optional<std::chrono::system_clock::time_point> startAt;
  // start_at = "sale": at the opening of the travel dates' sale at the
  // departure stations, which the service's table tells.
  bool startAtSale = false;
  // Filled once the service's table is read: each date at each departure
  // station with its opening, dates first.
  struct SaleOpening {
    std::string date;
    PlanStation station;
    std::optional<std::chrono::system_clock::time_point> opening;  // none: not in the table
  };
  std::vector<SaleOpening> saleOpenings;
  // Where the party asks to sit, one per passenger in order (seat_positions
  // for lettered seats, berths for sleepers); empty: anywhere.
  std::vector<SeatPosition> seatPositions;
  std::vector<Berth> berths;
  // depart, arrive and order: which trains by their times, and in which order
  // unnamed trains are tried.
  TrainTimes times;
  std::string departText, arriveText;  // as written, for --check
  // Hold a waitlist order too when every wanted class is sold out; its
  // deadline "YYYY-MM-DD HH:MM" (empty: the latest the service takes).
  bool waitlist = false;
  std::string waitlistDeadline;
};

// Who else hears of a booking ([notify]); UTF-8 as written, for curl and exec.
struct PlanNotify {
  std::string url;                   // webhook; empty: none
  std::vector<std::string> command;  // program and arguments; empty: none
};

// The page for a browser ([web]); listen empty: none. Files are absolute.
struct PlanWeb {
  std::string listen;  // "[ADDRESS:]PORT"
  std::string cert, key;
};

// How the run signs in: captcha cells and a password, or a QR code that the
// railway's phone app scans and confirms (no password).
enum class SignInMethod { kCaptcha, kQr };

// One account of the plan with its own wishes.
struct PlanAccount {
  int line = 0;  // where its [[account]] table starts; 0 in the single form
  std::string name;
  SignInMethod signIn = SignInMethod::kCaptcha;
  std::vector<PlanWish> wishes;
};

// A fleet of quillet-grab processes sharing the plan through Redis ([fleet]);
// redis empty: none. UTF-8 as written.
struct PlanFleet {
  std::string redis;          // "redis://host:6379/0"
  std::string name;           // the fleet's name; every member runs the same plan
  std::string sourceAddress;  // this member's own address towards the service; empty: the system's choice
};

struct Plan {
  std::string path;
  std::string service;
  std::string caFile;  // absolute, or empty for the system's certificates
  std::string account;
  SignInMethod signIn = SignInMethod::kCaptcha;
  std::vector<PlanWish> wishes;
  // Every account in the plan's order. The single form (account = "...",
  // [[wish]]) makes one, the same as account, signIn and wishes; with
  // [[account]] tables those three are the first account's.
  std::vector<PlanAccount> accounts;
  bool accountTables = false;  // written as [[account]] tables: every line names its account
  PlanNotify notify;
  PlanWeb web;
  PlanFleet fleet;
  // When the service takes orders (default 05:00 to 01:00 the next day),
  // and the account's left-ticket queries per second, all wishes and dates together.
  ServiceHours serviceHours;
  double maxQueriesPerSecond = 5;
};

// The plan as seen by one of its accounts: account, signIn and wishes are
// that account's.
Plan PlanOfAccount(const Plan& plan, std::size_t accountIndex);

}  // namespace quillet::cli
