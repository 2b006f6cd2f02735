#pragma once
// What quillet-grab tells the person: one line per event, readable or as
// JSON. Several workers write at once; each event is written whole.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace quillet::cli {

// Texts in events are program text (GBK); wish numbers count from 1.
struct AttemptEvent {
  int wish = 0;
  std::int64_t attempts = 0;  // passes so far
};
struct QueryFailedEvent {
  int wish = 0;
  std::string date;
  std::string reason;
};
struct OrderOutcome {
  int wish = 0;
  std::string date, train, seat;  // seat: the class's name
  std::vector<std::string> passengers;
};
struct OrderRefusedEvent {
  OrderOutcome order;
  std::string reason;
};
struct ManualCheckEvent {
  OrderOutcome order;
  std::string reason;
};
struct BookedEvent {
  OrderOutcome order;
  std::string orderId;  // empty when the service did not say
};
struct StoppedEvent {
  std::string reason;  // plain ASCII, e.g. "SIGTERM"
};
// The estimate of the service's clock taken for a sale opening.
struct ClockEvent {
  std::string text;  // plain ASCII, e.g. "service clock: +797 ms +/- 5 ms (14 probes)"
};
// What became of telling one notifier about a booking, a manual check or a
// lapsed session.
struct NotificationEvent {
  bool delivered = false;
  std::string notifier;  // plain ASCII: "webhook", "command", ...
  std::string about;     // plain ASCII: "booked", "manual_check", "session_lapsed"
  std::string train, date;
  std::string reason;  // why it failed (program text); empty when delivered
};
using Event = std::variant<AttemptEvent, QueryFailedEvent, OrderRefusedEvent, ManualCheckEvent, BookedEvent,
                           StoppedEvent, ClockEvent, NotificationEvent>;

class EventOutput {
 public:
  enum class Format { kText, kJson };
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `terminal`: the output is a terminal, where attempt summaries form one
  // status line that rewrites itself. Attempt summaries appear at most once
  // a second in text; every event is a line in JSON. In text, control
  // characters in the texts show as escapes (VisibleControls).
  EventOutput(std::ostream& out, Format format, bool terminal, Clock clock = std::chrono::steady_clock::now);

  void Write(const Event& event);
  // Ends a status line still shown, so that what follows starts on a line of its own.
  void Finish();

 private:
  void WriteText(const Event& event);
  std::string StatusText() const;

  std::ostream& out_;
  const Format format_;
  const bool terminal_;
  const Clock clock_;
  std::mutex mutex_;
  std::map<int, std::int64_t> attempts_;  // by wish
  bool statusShown_ = false;
  bool statusPending_ = false;
  std::chrono::steady_clock::time_point lastStatus_{};
};

// One JSON object (no line end) for an event.
std::string EventJson(const Event& event);

}  // namespace quillet::cli
