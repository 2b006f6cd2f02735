#pragma once
// quillet-grab as a member of a fleet: where the fleet's Redis is (the plan's
// [fleet] or --fleet), the member's id and address, and the fleet's status
// as lines for --fleet-status.
#include <cstdint>
#include <optional>
#include <string>

#include <vector>

#include "booking/records.h"
#include "cli/command_line.h"
#include "cli/plan.h"
#include "fleet/fleet_store.h"
#include "fleet/redis_url.h"

namespace quillet::cli {

struct FleetChoice {
  std::optional<fleet::RedisAddress> address;  // none: no fleet (or an error)
  std::string name;                            // the fleet's name
  std::string sourceAddress;                   // empty: the system's choice
  std::string where;                           // "host:port/db", for messages (no password)
  std::string error;                           // UTF-8; set when the choice is not usable
};

// --fleet and --source-address before the plan's [fleet]; the password from
// the URL or `environmentPassword`. A fleet without a name in the plan is
// named after the plan file.
FleetChoice ChooseFleet(const CommandLine& line, const Plan& plan, const char* environmentPassword);

// This process's id in the fleet: host name and process id.
std::string FleetMemberId();

// The fleet's name of an account's wish: the same on every member.
std::string FleetWishName(const std::string& account, std::size_t wishIndex);

// --fleet-status: members with their address and last heartbeat, who holds
// which account, and each wish's attempts and outcome; UTF-8 lines.
std::string FleetStatusText(const fleet::FleetStatus& status, const Plan& plan, std::int64_t nowUnixMs);

// The account's passengers as the fleet keeps them for its other members,
// and back; nothing from a text that is not such a list.
std::string PassengersText(const std::vector<PassengerRecord>& passengers);
std::optional<std::vector<PassengerRecord>> PassengersFromText(const std::string& text);

// "cannot reach the fleet's Redis at ...: ..." and the like.
std::string RedisFailureText(fleet::RedisFailure failure);

}  // namespace quillet::cli
