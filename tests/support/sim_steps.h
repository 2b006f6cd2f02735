#pragma once
// Steps the client-side tests take against quillet-sim: reading back the
// service's record of what it received, the cookie jar, travel dates and
// signing in.
#include <string>
#include <utility>
#include <vector>

#include "booking/client.h"
#include "support/sim_harness.h"

namespace quillet::test {

// One entry of the service's request log (/sim/requests).
struct SimRequest {
  double t = 0;  // seconds on the service's clock when it arrived
  std::string method;
  std::string path;
  std::string query;
  std::string body;  // UTF-8 bytes as received
  std::vector<std::pair<std::string, std::string>> headers;

  // The value of the header (name compared without case); empty when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// Parses the JSON array that /sim/requests answers; an unreadable text gives
// an empty list.
std::vector<SimRequest> ParseSimRequests(const std::string& json);
inline std::vector<SimRequest> SimRequests(const SimProcess& sim) { return ParseSimRequests(sim.Requests()); }

// The value of one cookie in a jar text ("a=1; b=2"), empty when absent.
std::string CookieValue(const std::string& jarText, const std::string& name);

// yyyy-MM-dd in China Standard Time, `daysAhead` days from today.
inline std::string ChinaDate(int daysAhead) { return ChinaDatePlusDays(daysAhead); }

// Fetches a captcha, reads its cells from the service and signs in, once.
bool SignIn(BookingClient& client, const SimProcess& sim, const std::string& user = "demo",
            const std::string& password = "demo1234");

// Signs in with the default account until the service confirms the session,
// at most `tries` times: a service with faults may spoil any one exchange.
bool SignIn(BookingClient& client, const SimProcess& sim, int tries);

}  // namespace quillet::test
