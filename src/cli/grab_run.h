#pragma once
// A running plan as quillet-grab follows it: the session's grab events as
// output events, which wishes have ended and how, and what the main thread
// must act on next (every wish ended, a lapsed session, a signal).
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/event_output.h"
#include "session/session_observer.h"
#include "session/session_status.h"

namespace quillet::cli {

class GrabRun : public SessionObserver {
 public:
  // `errors` gets the line naming a submitted order whose outcome was not
  // learnt as the program closed.
  GrabRun(EventOutput& output, std::size_t wishCount, std::ostream& errors = std::cerr);

  // The session's status, which the attempt counts are read from; set before
  // grabbing starts. Without it the workers' own counts are written.
  void SetStatusReader(std::function<SessionStatus()> readStatus) { readStatus_ = std::move(readStatus); }

  void OnGrabAttempt(const GrabAttempt& attempt) override;
  void OnQueryFailed(const QueryFailure& failure) override;
  void OnOrderRefused(const OrderReport& order) override;
  void OnOrderBooked(const OrderReport& order) override;
  void OnOrderNeedsManualCheck(const OrderReport& order) override;
  void OnOrderAbandoned(const OrderReport& order) override;
  void OnSessionLapsed(const SessionLapse& lapse) override;
  void OnSignedIn() override;
  void OnTrainsNotRunning(const TrainsNotRunning& notRunning) override;
  void OnWishWithoutTrains(const WishWithoutTrains& without) override;
  // The service filled the wish's waitlist order: the wish is booked.
  void OnWaitlistFilled(const OrderReport& order);
  // Runs before a grab booking is reported (set before grabbing starts): the
  // wish's waitlist order is cancelled first.
  void SetBeforeBooked(std::function<void(std::size_t wishIndex)> beforeBooked) {
    beforeBooked_ = std::move(beforeBooked);
  }

  // Learns the seats of a booked order for its report (set before grabbing
  // starts); runs on the booking worker's thread.
  void SetSeatReader(std::function<std::vector<BookedSeat>(const OrderReport&)> seatReader) {
    seatReader_ = std::move(seatReader);
  }

  enum class Wake { kAllEnded, kSessionLapsed, kSignal };
  // Blocks until one of them is there; a lapse is taken (reported once).
  Wake WaitForChange();
  // The same for at most `wait`: nothing when none came (a run of several
  // accounts looks at each of them in turn).
  std::optional<Wake> WaitForChangeFor(std::chrono::milliseconds wait);

  // Signals are taken only while grabbing runs unattended; elsewhere (signing
  // in on the terminal) they are refused and the caller ends the program.
  void AcceptSignals(bool accept);
  bool TakeSignal(int signalNumber);
  int SignalNumber() const;

  // How the run signs in ("captcha" or "qr"), for the events; set before
  // the run observes a session.
  void SetSignInMethod(std::string method) { signInMethod_ = std::move(method); }

  bool AllEnded() const;
  bool AllBooked() const;
  bool AnyManualCheck() const;

 private:
  EventOutput& output_;
  std::ostream& errors_;
  std::function<SessionStatus()> readStatus_;
  std::string signInMethod_;
  std::function<void(std::size_t)> beforeBooked_;
  std::function<std::vector<BookedSeat>(const OrderReport&)> seatReader_;
  const std::size_t wishCount_;
  mutable std::mutex mutex_;  // guards the fields below
  std::condition_variable changed_;
  std::set<std::size_t> booked_;
  std::set<std::size_t> manual_;
  std::set<std::size_t> failed_;  // ended without an order: no train of theirs runs
  bool lapsed_ = false;
  bool acceptSignals_ = false;
  int signal_ = 0;
};

// The exit code of a run that has ended: 0 every wish booked, else 4 when
// some wish needs a manual check, else 3 when a signal stopped it, else 1
// (a wish none of whose trains runs, a lapsed session without a terminal).
int ExitCodeOf(const GrabRun& run, bool stoppedBySignal);
// The exit code of a run of several accounts: 0 only when every wish of
// every account is booked; else as ExitCodeOf over all of them together.
int ExitCodeOf(const std::vector<const GrabRun*>& runs, bool stoppedBySignal);

}  // namespace quillet::cli
