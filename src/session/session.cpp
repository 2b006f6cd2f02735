#include "session/session.h"

#include <algorithm>
#include <chrono>

#include "util/china_moment.h"

namespace quillet {
namespace {

std::string ReferenceDateOf(const SessionSettings& settings) {
  if (!settings.referenceDate.empty()) return settings.referenceDate;
  return ChinaDateText(settings.now ? settings.now() : std::chrono::system_clock::now());
}

}  // namespace

// Carries the grab controller's events to the session's observers.
class Session::GrabRelay : public GrabEvents {
 public:
  explicit GrabRelay(Session& session) : session_(session) {}
  void OnGrabStarted(const GrabStart& told) override {
    GrabStart start = told;
    start.account = session_.Account();
    session_.Tell([&](SessionObserver& o) { o.OnGrabStarted(start); });
  }
  void OnGrabAttempt(const GrabAttempt& told) override {
    GrabAttempt attempt = told;
    attempt.account = session_.Account();
    session_.status_.Attempt(attempt);
    session_.Tell([&](SessionObserver& o) { o.OnGrabAttempt(attempt); });
  }
  void OnQueryFailed(const QueryFailure& told) override {
    QueryFailure failure = told;
    failure.account = session_.Account();
    session_.status_.QueryFailed(failure);
    session_.Tell([&](SessionObserver& o) { o.OnQueryFailed(failure); });
  }
  void OnPassSeen(const PassSeen& pass) override {
    session_.status_.PassSeen(pass);
    session_.Tell([&](SessionObserver& o) { o.OnPassSeen(pass); });
  }
  void OnNextQuery(const NextQuery& next) override {
    session_.status_.NextQueryAt(next);
    session_.Tell([&](SessionObserver& o) { o.OnNextQuery(next); });
  }
  void OnOrderRefused(const OrderReport& told) override {
    const OrderReport order = session_.Stamped(told);
    session_.status_.Refused(order);
    session_.Tell([&](SessionObserver& o) { o.OnOrderRefused(order); });
  }
  void OnOrderBooked(const OrderReport& told) override {
    const OrderReport order = session_.Stamped(told);
    session_.status_.Booked(order);
    session_.Tell([&](SessionObserver& o) { o.OnOrderBooked(order); });
    // A booking of seat type "1" gives the start button back, as stopping does.
    if (order.seatType == "1") session_.Tell([](SessionObserver& o) { o.OnGrabMayStartAgain(); });
  }
  void OnOrderNeedsManualCheck(const OrderReport& told) override {
    const OrderReport order = session_.Stamped(told);
    session_.status_.NeedsManualCheck(order);
    session_.Tell([&](SessionObserver& o) { o.OnOrderNeedsManualCheck(order); });
  }
  void OnOrderAbandoned(const OrderReport& told) override {
    const OrderReport order = session_.Stamped(told);
    session_.Tell([&](SessionObserver& o) { o.OnOrderAbandoned(order); });
  }
  void OnGrabStopped(const GrabStop& told) override {
    GrabStop stop = told;
    stop.account = session_.Account();
    session_.status_.Stopped();
    session_.Tell([&](SessionObserver& o) {
      o.OnGrabStopped(stop);
      o.OnGrabMayStartAgain();
    });
  }
  void OnSessionLapsed(const SessionLapse& told) override {
    SessionLapse lapse = told;
    lapse.account = session_.Account();
    {
      std::lock_guard lock(session_.mutex_);
      session_.signedIn_ = false;
      session_.signedInSince_.reset();
    }
    session_.Tell([&](SessionObserver& o) { o.OnSessionLapsed(lapse); });
  }
  void OnTrainsNotRunning(const TrainsNotRunning& told) override {
    TrainsNotRunning notRunning = told;
    notRunning.account = session_.Account();
    session_.Tell([&](SessionObserver& o) { o.OnTrainsNotRunning(notRunning); });
  }
  void OnWishWithoutTrains(const WishWithoutTrains& told) override {
    WishWithoutTrains without = told;
    without.account = session_.Account();
    session_.Tell([&](SessionObserver& o) { o.OnWishWithoutTrains(without); });
  }

 private:
  Session& session_;
};

Session::Session(SessionSettings settings)
    : client_(std::make_unique<BookingClient>(settings.service, cookieJar_, std::move(settings.stations))),
      referenceDate_(ReferenceDateOf(settings)),
      account_(settings.account),
      relay_(std::make_unique<GrabRelay>(*this)),
      grab_(std::make_unique<GrabController>(*client_, *relay_, referenceDate_, settings.pacing)) {}

Session::~Session() {
  // No thread may outlive the state it uses.
  Close();
  grab_.reset();
}

void Session::AddObserver(SessionObserver& observer) {
  std::lock_guard lock(mutex_);
  observers_.push_back(&observer);
}

void Session::RemoveObserver(SessionObserver& observer) {
  std::lock_guard lock(mutex_);
  std::erase(observers_, &observer);
}

template <typename Call>
void Session::Tell(Call call) {
  std::vector<SessionObserver*> observers;
  {
    std::lock_guard lock(mutex_);
    observers = observers_;
  }
  for (SessionObserver* observer : observers) call(*observer);
}

CaptchaResult Session::FetchCaptcha(std::stop_token stop) { return client_->FetchCaptcha(stop); }

LoginResult Session::SignIn(const std::string& account, const std::string& password, const std::string& captchaAnswer,
                            std::stop_token stop) {
  LoginResult result = client_->Login(account, password, captchaAnswer, stop);
  if (result.Done()) MarkSignedIn(account);
  return result;
}

void Session::MarkSignedIn(const std::string& account) {
  {
    std::lock_guard lock(mutex_);
    if (!account.empty()) account_ = account;
    signedIn_ = true;
    signedInSince_ = std::chrono::system_clock::now();
  }
  grab_->SignedInAgain();
  Tell([](SessionObserver& o) { o.OnSignedIn(); });
}

QrCodeResult Session::CreateQrCode(std::stop_token stop) { return client_->CreateQrCode(stop); }

QrStateResult Session::CheckQrCode(const std::string& uuid, std::stop_token stop) {
  return client_->CheckQrCode(uuid, stop);
}

ServiceResult Session::FinishQrSignIn(std::stop_token stop) {
  ServiceResult result = client_->FinishQrSignIn(stop);
  if (result.Done()) MarkSignedIn({});  // a scanned code names no account
  return result;
}

void Session::UseSignInFromElsewhere(const std::string& account) { MarkSignedIn(account); }

bool Session::SignedIn() const {
  std::lock_guard lock(mutex_);
  return signedIn_;
}

std::string Session::Account() const {
  std::lock_guard lock(mutex_);
  return account_;
}

OrderReport Session::Stamped(const OrderReport& order) const {
  OrderReport stamped = order;
  stamped.account = Account();
  return stamped;
}

SessionStatus Session::Status() const {
  SessionStatus status;
  {
    std::lock_guard lock(mutex_);
    status.account = account_;
    status.signedIn = signedIn_;
    if (signedIn_) status.signedInSince = signedInSince_;
  }
  status_.CopyInto(status);
  return status;
}

PassengersResult Session::LoadPassengers(std::stop_token stop) {
  PassengersResult result = client_->LoadPassengers(stop);
  if (stop.stop_requested()) return result;
  std::vector<PassengerRecord> all;
  {
    std::lock_guard lock(mutex_);
    passengers_.insert(passengers_.end(), result.passengers.begin(), result.passengers.end());
    all = passengers_;
  }
  Tell([&](SessionObserver& o) { o.OnPassengersLoaded(all); });
  return result;
}

std::vector<PassengerRecord> Session::Passengers() const {
  std::lock_guard lock(mutex_);
  return passengers_;
}

TrainsResult Session::QueryTrains(bool studentPurpose, const std::string& trainDate, const std::string& fromStation,
                                  const std::string& toStation, std::stop_token stop) {
  TrainsResult result = client_->QueryLeftTickets(studentPurpose, trainDate, fromStation, toStation, stop);
  Tell([&](SessionObserver& o) { o.OnQueryResult(result); });
  return result;
}

std::size_t Session::AddWish(OrderWish wish) {
  std::size_t index = 0;
  {
    std::lock_guard lock(mutex_);
    index = wishes_.size();
    wishes_.push_back(wish);
    // Under the lock, so that a start never runs a wish the status lacks.
    status_.WishAdded(index, wish);
  }
  Tell([&](SessionObserver& o) { o.OnWishAdded(index, wish); });
  return index;
}

std::vector<OrderWish> Session::Wishes() const {
  std::lock_guard lock(mutex_);
  return wishes_;
}

void Session::StartGrabbing() {
  std::vector<OrderWish> wishes;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;  // the controller refuses starts once closed
    wishes = wishes_;
    status_.Started(wishes.size());
  }
  grab_->StartGrabbing(std::move(wishes));
}

void Session::SetWishScheduleFactory(WishScheduleFactory factory) { grab_->SetWishScheduleFactory(std::move(factory)); }
void Session::SetQueryPacer(std::shared_ptr<QueryPacer> pacer) { grab_->SetQueryPacer(std::move(pacer)); }
void Session::SetWorkShare(std::shared_ptr<WorkShare> share) { grab_->SetWorkShare(std::move(share)); }

void Session::StopGrabbing() { grab_->StopGrabbing(); }

void Session::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  grab_->StopAndJoinAll();
  status_.Stopped();
}

int Session::RunningWorkerCount() const { return grab_->RunningWorkerCount(); }

}  // namespace quillet
