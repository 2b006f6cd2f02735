#pragma once
// The events of a wish's waitlist order, as quillet-grab writes them.
#include <string>
#include <vector>

namespace quillet::cli {

// Texts are program text (GBK); wish numbers count from 1.
struct WaitlistEvent {
  enum class Kind {
    kPlaced,     // "waitlisted"
    kRefused,    // "waitlist_refused": the wish grabs on without one
    kCancelled,  // "waitlist_cancelled"
    kExpired,    // "waitlist_expired"
  };
  struct Choice {
    std::string train;
    std::string seat;    // the class's name
    int level = 0;       // the service's chance of success, higher is better; 0: not told
    std::string chance;  // the service's words for it
  };
  Kind kind = Kind::kPlaced;
  int wish = 0;
  std::string date;             // placed
  std::vector<Choice> choices;  // placed
  std::string deadline;         // placed: "YYYY-MM-DD HH:MM"
  std::string waitlistId;       // the waitlist order's number; empty for a refusal
  std::string reason;           // refused: the service's words, or the program's
};

// One JSON object (no line end), without its moment.
std::string WaitlistEventJson(const WaitlistEvent& event);
// The readable line (UTF-8), without the wish's prefix.
std::string WaitlistEventText(const WaitlistEvent& event);

}  // namespace quillet::cli
