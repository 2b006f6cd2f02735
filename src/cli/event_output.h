#pragma once
// What quillet-grab tells the person: one line per event, readable or as
// JSON. Several workers write at once; each event is written whole.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "booking/order_seats.h"
#include "cli/waitlist_events.h"
#include "grab/shared_service_clock.h"

namespace quillet::cli {

// Texts in events are program text (GBK); wish numbers count from 1.
struct AttemptEvent {
  int wish = 0;
  std::int64_t attempts = 0;     // passes so far
  std::int64_t newAttempts = 0;  // passes since the wish's last attempt line (the output counts them)
};
struct QueryFailedEvent {
  int wish = 0;
  std::string date;
  std::string reason;
};
struct EventOrder {
  int wish = 0;
  std::string date, train, seat;  // seat: the class's name
  std::vector<std::string> passengers;
};
struct OrderRefusedEvent {
  EventOrder order;
  std::string reason;
};
struct ManualCheckEvent {
  EventOrder order;
  std::string reason;
};
struct BookedEvent {
  EventOrder order;
  std::string orderId;       // empty when the service did not say
  bool viaWaitlist = false;  // the service filled the wish's waitlist order
  // The seats the service gave, as its order list tells them; empty when
  // they could not be learnt.
  std::vector<BookedSeat> seats{};
};
// When a wish with start_at = "sale" may query: one event per date and
// departure station, before grabbing starts.
struct SaleOpeningEvent {
  int wish = 0;
  std::string date;
  std::string station;  // program text
  std::string telecode;
  std::optional<std::chrono::system_clock::time_point> opening;  // none: not in the service's table
};
struct StoppedEvent {
  std::string reason;  // plain ASCII, e.g. "SIGTERM"
};
// The service no longer knows the sign-in; and when it is back.
// The service no longer knows the sign-in. In a QR run the event carries the
// new code to scan (one event per code until one is confirmed).
struct SessionLapsedEvent {
  std::string qrContent;  // empty: no code (a captcha run)
  std::string qrPicture;
};
struct SignedInEvent {
  std::string method;  // "captcha" or "qr"; empty when not known
  bool again = false;  // after a lapse
};
// A train the wish names that the service runs on none of its dates.
struct UnknownTrainEvent {
  int wish = 0;
  std::string train;
};
// A wish that ended without an order because none of its trains runs.
struct NoTrainRunsEvent {
  int wish = 0;
};
// The estimate of the service's clock taken for a sale opening.
struct ClockEvent {
  ServiceClockNote note;
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
// A sign-in QR code shown for scanning; texts are UTF-8 (ASCII in practice).
struct QrCodeEvent {
  std::string id;
  std::string content;  // what the code encodes
  std::string picture;  // path of the saved picture; empty when none was saved
};
// How the service behaves towards the run: closed hours, throttling, a
// moved query path.
struct ServiceEvent {
  enum class Kind {
    kClosed,           // closed until `until` ("HH:MM")
    kClosedByService,  // an order step was refused for closed hours; paused until `until`
    kThrottled,        // an episode began; `pauseMs` is the first pause
    kStillThrottled,   // the episode has lasted `seconds`
    kThrottleEnded,    // after `seconds`
    kQueryPathMoved,   // to `path`
  };
  Kind kind = Kind::kClosed;
  std::string until;  // "HH:MM", China Standard Time on the service's clock
  std::int64_t pauseMs = 0;
  std::int64_t seconds = 0;
  std::string path;  // ASCII
};
using Event = std::variant<AttemptEvent, QueryFailedEvent, OrderRefusedEvent, ManualCheckEvent, BookedEvent,
                           StoppedEvent, ClockEvent, QrCodeEvent, SessionLapsedEvent, SignedInEvent, UnknownTrainEvent,
                           NoTrainRunsEvent, NotificationEvent, WaitlistEvent, ServiceEvent, SaleOpeningEvent>;

class EventOutput {
 public:
  enum class Format { kText, kJson };
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  using WallClock = std::function<std::chrono::system_clock::time_point()>;

  // `terminal`: the output is a terminal, where attempt summaries form one
  // status line that rewrites itself. Attempt summaries appear at most once
  // a second in text; in JSON every event is a line, with its moment "at"
  // (China Standard Time), and a wish's attempts at most once a second,
  // counting the passes since its last attempt line. In text, control
  // characters in the texts show as escapes (VisibleControls).
  EventOutput(std::ostream& out, Format format, bool terminal, Clock clock = std::chrono::steady_clock::now,
              WallClock wallClock = std::chrono::system_clock::now);

  // Writes to `parent` with every event naming `account` (program text):
  // a run of several accounts has one such output per account. The parent
  // outlives it.
  EventOutput(EventOutput& parent, std::string account);

  void Write(const Event& event);
  // Also hands every event's readable line (UTF-8, no line end) to `tee`,
  // whatever the output's format; attempts are not lines of their own.
  using LineTee = std::function<void(const std::string& line)>;
  void SetLineTee(LineTee tee);
  // Ends a status line still shown, so that what follows starts on a line of its own.
  void Finish();

 private:
  using WishKey = std::pair<std::string, int>;  // account, wish
  void WriteFor(const Event& event, const std::string& account);
  void WriteText(const Event& event, const std::string& account);
  void WriteJson(const Event& event, const std::string& account);
  std::string StatusText() const;

  std::ostream& out_;
  const Format format_;
  const bool terminal_;
  const Clock clock_;
  const WallClock wallClock_;
  EventOutput* const parent_ = nullptr;
  const std::string account_;
  std::mutex mutex_;
  LineTee tee_;
  std::map<WishKey, std::int64_t> attempts_;
  bool statusShown_ = false;
  bool statusPending_ = false;
  std::chrono::steady_clock::time_point lastStatus_{};
  struct AttemptLine {
    std::chrono::steady_clock::time_point when;
    std::int64_t attempts = 0;
  };
  std::map<WishKey, AttemptLine> attemptLines_;  // JSON: the last one written of each wish
};

// One JSON object (no line end) for an event, without its moment.
std::string GrabEventJson(const Event& event);
// The same with "at" last: "2026-12-20T09:15:02.123+08:00".
std::string GrabEventJson(const Event& event, std::chrono::system_clock::time_point at);

}  // namespace quillet::cli
