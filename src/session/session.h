#pragma once
// One signed-in session with the booking service, without any front end:
// the cookie jar, the one client, the sign-in state, the account's
// passengers, the program's reference date, the order wishes and grabbing.
// Front ends act through its operations and learn what happened through
// SessionObserver. Every operation may be called from any thread.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "booking/client.h"
#include "grab/grab_controller.h"
#include "grab/order_wish.h"
#include "net/cookies.h"
#include "net/service_settings.h"
#include "session/session_observer.h"
#include "session/session_status.h"

namespace quillet {

struct SessionSettings {
  ServiceSettings service;
  // Shared read-only with the other sessions of the process; null: the built-in table.
  std::shared_ptr<const StationDirectory> stations;
  std::string account;  // the account name known before a sign-in (a plan's), may be empty
  // yyyy-MM-dd; empty: today in China Standard Time when the session is
  // created, whatever the machine's time zone (the service's today).
  std::string referenceDate;
  // The moment "now", for that date; empty: the system clock.
  std::function<std::chrono::system_clock::time_point()> now;
  GrabPacing pacing;
};

class Session {
 public:
  explicit Session(SessionSettings settings = {});
  // Ends every grab worker (signalled and joined) before anything is freed.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Observers are told in the order they were added; add them before any
  // operation runs and remove them only after Close.
  void AddObserver(SessionObserver& observer);
  void RemoveObserver(SessionObserver& observer);

  BookingClient& Client() { return *client_; }
  const StationDirectory& Stations() const { return client_->Stations(); }
  // The program's idea of today, fixed when the session was created: the
  // back date of every order.
  const std::string& ReferenceDate() const { return referenceDate_; }

  // Sign-in. On success the session is signed in and observers hear OnSignedIn.
  CaptchaResult FetchCaptcha(std::stop_token stop = {});
  LoginResult SignIn(const std::string& account, const std::string& password, const std::string& captchaAnswer,
                     std::stop_token stop = {});
  bool SignedIn() const;
  // QR sign-in: a code to show, its state while the phone scans and confirms
  // it, then the session for the confirmed code. FinishQrSignIn signs in as
  // SignIn does (observers hear OnSignedIn, waiting workers go on).
  QrCodeResult CreateQrCode(std::stop_token stop = {});
  QrStateResult CheckQrCode(const std::string& uuid, std::stop_token stop = {});
  ServiceResult FinishQrSignIn(std::stop_token stop = {});
  // The cookie jar was given a sign-in made elsewhere (by another process
  // with the same account): signed in as after SignIn, without asking the
  // service. Should the service no longer know it, the next order says so.
  void UseSignInFromElsewhere(const std::string& account);
  // The settings' account name, then that of the last successful sign-in.
  std::string Account() const;

  // The session as it is now, a copy that stays the reader's.
  SessionStatus Status() const;

  // Loads the account's passengers and adds them to the session's list
  // (unless stopped); observers hear OnPassengersLoaded with the whole list.
  PassengersResult LoadPassengers(std::stop_token stop = {});
  std::vector<PassengerRecord> Passengers() const;

  // A left-ticket query; observers hear OnQueryResult.
  TrainsResult QueryTrains(bool studentPurpose, const std::string& trainDate, const std::string& fromStation,
                           const std::string& toStation, std::stop_token stop = {});

  // Order wishes, in the order they were added; a start takes a copy.
  std::size_t AddWish(OrderWish wish);
  std::vector<OrderWish> Wishes() const;

  // Starts one worker per wish of the list as it is now (a start with no
  // wishes starts none, as an empty task list always has).
  void StartGrabbing();
  // Schedules for wishes with a start moment (a sale opening); set before
  // the first start.
  void SetWishScheduleFactory(WishScheduleFactory factory);
  // Paces the grab queries (hours, throttling, budget); set before the first start.
  void SetQueryPacer(std::shared_ptr<QueryPacer> pacer);
  // Shares the party wishes' work with other processes; set before the first start.
  void SetWorkShare(std::shared_ptr<WorkShare> share);
  // Signals the workers; a confirmed order still runs to its end and reports.
  void StopGrabbing();
  // Program close: ends every worker at once and waits for them; a submitted
  // order whose outcome was not learnt is told as OnOrderAbandoned. Later
  // starts do nothing.
  void Close();
  int RunningWorkerCount() const;

 private:
  // Tests set the sign-in state and passengers without a service.
  friend struct SessionTestAccess;
  class GrabRelay;
  template <typename Call>
  void Tell(Call call);
  void MarkSignedIn(const std::string& account);
  // The order as this session's: its account named.
  OrderReport Stamped(const OrderReport& order) const;

  CookieJar cookieJar_;
  std::unique_ptr<BookingClient> client_;
  const std::string referenceDate_;

  mutable std::mutex mutex_;  // guards the seven fields below
  std::string account_;
  bool signedIn_ = false;
  std::optional<StatusTime> signedInSince_;
  bool closed_ = false;
  std::vector<PassengerRecord> passengers_;
  std::vector<OrderWish> wishes_;
  std::vector<SessionObserver*> observers_;

  // Taken while `mutex_` is held where the two must agree; it never takes `mutex_`.
  SessionStatusRecorder status_;
  std::unique_ptr<GrabRelay> relay_;
  std::unique_ptr<GrabController> grab_;
};

}  // namespace quillet
