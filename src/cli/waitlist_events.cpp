#include "cli/waitlist_events.h"

#include <algorithm>

#include "util/codepage.h"
#include "util/json_text.h"
#include "util/messages.h"

namespace quillet::cli {

namespace {

const char* EventName(WaitlistEvent::Kind kind) {
  switch (kind) {
    case WaitlistEvent::Kind::kPlaced:
      return "waitlisted";
    case WaitlistEvent::Kind::kRefused:
      return "waitlist_refused";
    case WaitlistEvent::Kind::kCancelled:
      return "waitlist_cancelled";
    case WaitlistEvent::Kind::kExpired:
      return "waitlist_expired";
  }
  return "";
}

}  // namespace

std::string WaitlistEventJson(const WaitlistEvent& e) {
  std::string json = std::string("{\"event\":\"") + EventName(e.kind) + "\",\"wish\":" + std::to_string(e.wish);
  switch (e.kind) {
    case WaitlistEvent::Kind::kPlaced: {
      int best = 0;
      std::string choices;
      for (const WaitlistEvent::Choice& c : e.choices) {
        best = std::max(best, c.level);
        choices += std::string(choices.empty() ? "" : ",") + "{\"train\":" + JsonString(c.train) +
                   ",\"seat\":" + JsonString(c.seat) + ",\"level\":" + std::to_string(c.level) +
                   ",\"chance\":" + JsonString(c.chance) + "}";
      }
      json += ",\"date\":" + JsonString(e.date) + ",\"choices\":[" + choices +
              "],\"deadline\":" + JsonString(e.deadline) + ",\"waitlist_id\":" + JsonString(e.waitlistId) +
              ",\"level\":" + std::to_string(best);
      break;
    }
    case WaitlistEvent::Kind::kRefused:
      json += ",\"reason\":" + JsonString(e.reason);
      break;
    case WaitlistEvent::Kind::kCancelled:
    case WaitlistEvent::Kind::kExpired:
      json += ",\"waitlist_id\":" + JsonString(e.waitlistId);
      break;
  }
  return json + "}";
}

std::string WaitlistEventText(const WaitlistEvent& e) {
  switch (e.kind) {
    case WaitlistEvent::Kind::kPlaced: {
      std::string choices;
      for (const WaitlistEvent::Choice& c : e.choices) {
        choices += (choices.empty() ? "" : ", ") + Utf8FromGbk(c.train) + " " + Utf8FromGbk(c.seat);
        if (!c.chance.empty()) choices += " (" + Utf8FromGbk(c.chance) + ")";
      }
      return quillet::Format(_("WAITLISTED on %s for %s, until %s: waitlist order %s"), Utf8FromGbk(e.date), choices,
                             Utf8FromGbk(e.deadline), Utf8FromGbk(e.waitlistId));
    }
    case WaitlistEvent::Kind::kRefused:
      return quillet::Format(_("waitlist refused, grabbing goes on: %s"), Utf8FromGbk(e.reason));
    case WaitlistEvent::Kind::kCancelled:
      return quillet::Format(_("waitlist order %s cancelled"), Utf8FromGbk(e.waitlistId));
    case WaitlistEvent::Kind::kExpired:
      return quillet::Format(_("waitlist order %s ended at its deadline unfilled"), Utf8FromGbk(e.waitlistId));
  }
  return {};
}

}  // namespace quillet::cli
