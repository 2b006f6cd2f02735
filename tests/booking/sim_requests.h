#pragma once
// The rehearsal service's record of what it received (/sim/requests), read
// back for the wire-level checks, and the steps every such test needs.
#include <string>
#include <utility>
#include <vector>

#include "booking/client.h"
#include "support/sim_harness.h"

namespace quillet::test {

struct SimRequest {
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

// The captcha answer for the given cells (1..8): their fixed coordinate
// texts in cell order, joined by ",".
std::string CaptchaAnswerFor(std::vector<int> cells);

// The value of one cookie in a jar text, empty when absent.
std::string CookieValue(const std::string& jarText, const std::string& name);

// Fetches a captcha, reads its cells from the service and signs in.
bool SignIn(BookingClient& client, const SimProcess& sim, const std::string& user = "demo",
            const std::string& password = "demo1234");

// A travel date `daysAhead` days after today in China Standard Time, as yyyy-MM-dd.
std::string ChinaDate(int daysAhead);

}  // namespace quillet::test
