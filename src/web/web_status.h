#pragma once
// What the page shows, kept up to date by the session's events and by the
// front end (event lines, the clock estimate, a sign-in waiting for an
// answer). Readers wait for a change and take a snapshot as JSON.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "grab/shared_service_clock.h"
#include "session/session_observer.h"
#include "session/session_status.h"
#include "web/event_lines.h"

namespace quillet::web {

// A sign-in that waits for the person.
struct PendingSignIn {
  enum class Kind { kNone, kCaptcha, kQr };
  Kind kind = Kind::kNone;
  std::uint64_t id = 0;   // changes with each new picture or code
  std::string jpeg;       // kCaptcha: the picture
  std::string qrContent;  // kQr: what the code encodes (UTF-8)
};

// A wish's waitlist order: its number and where it stands ("waiting",
// "refused", "cancelled", "expired").
struct WaitlistPlace {
  std::string reserveNo;
  std::string state;
};

// Where the snapshot's parts come from; tests give their own.
struct StatusSources {
  std::function<SessionStatus()> status;
  // When each wish (by index) waits for a sale opening; empty for one that does not.
  std::function<std::vector<std::optional<std::chrono::system_clock::time_point>>()> saleMoments;
  std::function<std::chrono::system_clock::time_point()> now = std::chrono::system_clock::now;
};

class WebStatus : public SessionObserver {
 public:
  static constexpr std::size_t kKeptLines = 200;

  explicit WebStatus(StatusSources sources);

  void OnSignedIn() override;
  void OnWishAdded(std::size_t index, const OrderWish& wish) override;
  void OnGrabStarted(const GrabStart& start) override;
  void OnGrabAttempt(const GrabAttempt& attempt) override;
  void OnQueryFailed(const QueryFailure& failure) override;
  void OnNextQuery(const NextQuery& next) override;
  void OnPassSeen(const PassSeen& pass) override;
  void OnOrderRefused(const OrderReport& order) override;
  void OnOrderBooked(const OrderReport& order) override;
  void OnOrderNeedsManualCheck(const OrderReport& order) override;
  void OnGrabStopped(const GrabStop& stop) override;
  void OnSessionLapsed(const SessionLapse& lapse) override;
  void OnWishWithoutTrains(const WishWithoutTrains& without) override;

  // A line as the front end printed it (UTF-8, no line end).
  void AddLine(const std::string& utf8);
  // The latest estimate of the service's clock.
  void SetClock(const ServiceClockNote& note);
  void ShowCaptcha(const std::string& jpeg);
  void ShowQrCode(const std::string& content);
  void ClearSignIn();
  void SetStopping();
  void SetWaitlist(std::size_t wishIndex, WaitlistPlace place);
  // When a booked order must be paid by, once the service has said
  // ("yyyy-MM-dd hh:mm:ss", program text).
  void SetPayBy(const std::string& orderId, const std::string& payBy);
  PendingSignIn SignIn() const;

  // The change count; WaitForChange returns when it is past `seen`, after
  // `timeout`, or when Shutdown was called (then nothing).
  std::uint64_t Version() const;
  std::optional<std::uint64_t> WaitForChange(std::uint64_t seen, std::chrono::milliseconds timeout);
  void Shutdown();

  // The whole state as one JSON object (UTF-8), with the kept lines numbered
  // above `linesSeen`.
  // `lastLine` (when given) gets the number of the last line it holds.
  std::string SnapshotJson(std::uint64_t linesSeen = 0, std::uint64_t* lastLine = nullptr) const;

 private:
  void Changed();

  const StatusSources sources_;
  mutable std::mutex mutex_;  // guards the fields below
  std::condition_variable changed_;
  std::uint64_t version_ = 1;
  bool shutDown_ = false;
  bool lapsed_ = false;
  bool stopping_ = false;
  EventLines lines_{kKeptLines};
  std::optional<ServiceClockNote> clock_;
  PendingSignIn signIn_;
  std::vector<std::optional<WaitlistPlace>> waitlist_;  // by wish index
  std::map<std::string, std::string> payBy_;            // by order id
};

}  // namespace quillet::web
