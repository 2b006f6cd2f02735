#pragma once
// A session's state as values, for any front end to read at any moment:
// the sign-in, each wish with its attempts, queries, refusals and outcome,
// and the bookings. Texts are program text (GBK) as the service and the
// wishes gave them; moments are on this machine's clock, and showing them
// (in China time or otherwise) is the front end's business.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "grab/grab_events.h"
#include "grab/order_wish.h"

namespace quillet {

using StatusTime = std::chrono::system_clock::time_point;

// An order report and when it was told.
struct StatusOrder {
  StatusTime at;
  OrderReport order;
};

// The queries of one attempt.
struct StatusQuery {
  StatusTime at;  // when the attempt began, its first query with it
  // A query of the attempt that failed, with the service's reason. Only the
  // workers of party wishes tell failed queries; the window's do not, so for
  // their wishes this stays empty.
  bool failed = false;
  std::string failedDate;
  std::string reason;  // the client's message for the failure
  ServiceResultKind kind = ServiceResultKind::kDone;
  AnswerVerdict answer;  // the service's verdict and words, when an answer decided it
};

enum class WishOutcome {
  kWaiting,      // not started yet
  kRunning,      // a worker is at it
  kBooked,       // see `ending` and the session's bookings
  kManualCheck,  // an order went in whose outcome must be checked by hand; see `ending`
  kStopped,      // stopped (or the session closed) before an order went in
};

struct WishStatus {
  std::size_t index = 0;  // in the session's list
  std::vector<std::string> dates;
  std::vector<std::string> trains;
  std::vector<std::string> seatTypes;   // the service's codes, in the order tried
  std::vector<std::string> passengers;  // names
  std::uint64_t attempts = 0;           // every attempt told for the wish, over all starts
  std::uint64_t attemptsThisStart = 0;  // the attempts of the latest start that took the wish
  std::optional<StatusQuery> lastQuery;
  std::optional<StatusOrder> lastRefusal;  // the reason is the order's `message`
  // When the worker of a party wish pauses after a pass, the pause's end;
  // empty while a pass runs and once the wish is not running.
  std::optional<StatusTime> nextQueryAt;
  // What the latest whole pass of a party wish's worker saw per wanted class.
  std::vector<ClassSeen> lastSeen;
  WishOutcome outcome = WishOutcome::kWaiting;
  std::optional<StatusOrder> ending;  // the order that booked the wish or needs the manual check
};

struct SessionStatus {
  std::string account;  // empty until a sign-in or the settings name it
  bool signedIn = false;
  std::optional<StatusTime> signedInSince;
  std::vector<WishStatus> wishes;
  std::vector<StatusOrder> bookings;  // in the order they were told
};

// Keeps the wish and grabbing part of a session's status as events happen;
// every call may come from any thread.
class SessionStatusRecorder {
 public:
  void WishAdded(std::size_t index, const OrderWish& wish);
  // A start took the first `wishCount` wishes of the list.
  void Started(std::size_t wishCount);
  void Attempt(const GrabAttempt& attempt);
  void QueryFailed(const QueryFailure& failure);
  void NextQueryAt(const NextQuery& next);
  void PassSeen(const quillet::PassSeen& pass);
  void Refused(const OrderReport& order);
  void Booked(const OrderReport& order);
  void NeedsManualCheck(const OrderReport& order);
  // Every running wish is stopped (the stop button, or the session closing).
  void Stopped();

  // Fills the wishes and bookings of `status`.
  void CopyInto(SessionStatus& status) const;

 private:
  // Caller holds `mutex_`; null for an index the session never listed.
  WishStatus* WishLocked(std::size_t index);

  mutable std::mutex mutex_;  // guards the two fields below
  std::vector<WishStatus> wishes_;
  std::vector<StatusOrder> bookings_;
};

}  // namespace quillet
