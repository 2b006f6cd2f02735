#pragma once
// Sale moments on quillet-sim and the arrival times of its request log, for
// the sale-moment test and benchmark.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/sim_harness.h"
#include "support/sim_json.h"

namespace quillet::test {

// Opens the sale of a travel date `inMs` from now on the service's clock;
// the moment in Unix ms on that clock, or nothing when the sim refused.
inline std::optional<std::int64_t> SetSaleIn(const SimProcess& sim, const std::string& date, long long inMs) {
  Json answer;
  if (!JsonReader::Parse(sim.PostForm("/sim/sale", {{"date", date}, {"in_ms", std::to_string(inMs)}}), answer) ||
      answer["moment_ms"].kind != Json::Kind::Number) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(answer["moment_ms"].number);
}

// When each request to `path` arrived, in Unix ms on the machine's own clock
// (the request log does not shift it), in the order of the log.
inline std::vector<std::int64_t> ArrivalsUnixMs(const SimProcess& sim, const std::string& path) {
  Json log;
  std::vector<std::int64_t> arrivals;
  if (!JsonReader::Parse(sim.Requests(), log)) return arrivals;
  for (const Json& entry : log.items) {
    if (entry["path"].text == path) arrivals.push_back(static_cast<std::int64_t>(entry["unix_ms"].number));
  }
  return arrivals;
}

}  // namespace quillet::test
