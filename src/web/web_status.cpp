#include "web/web_status.h"

#include "grab/order_tables.h"
#include "util/china_moment.h"
#include "util/json_text.h"

namespace quillet::web {
namespace {

// "HH:MM:SS" in China Standard Time.
std::string ClockTime(std::chrono::system_clock::time_point moment) {
  const std::string text = ChinaMomentText(moment);  // "YYYY-MM-DD HH:MM:SS.mmm"
  return text.size() >= 19 ? text.substr(11, 8) : text;
}

std::string JsonList(const std::vector<std::string>& gbkTexts) {
  std::string out = "[";
  for (std::size_t i = 0; i < gbkTexts.size(); ++i) out += (i ? "," : "") + JsonString(gbkTexts[i]);
  return out + "]";
}

std::string SeatName(const std::string& code) {
  const SeatType* type = SeatTypeWithCode(code);
  return type != nullptr ? type->name() : code;
}

const char* OutcomeName(WishOutcome outcome) {
  switch (outcome) {
    case WishOutcome::kWaiting:
      return "waiting";
    case WishOutcome::kRunning:
      return "running";
    case WishOutcome::kBooked:
      return "booked";
    case WishOutcome::kManualCheck:
      return "manual_check";
    case WishOutcome::kStopped:
      return "stopped";
  }
  return "waiting";
}

std::string OrderJson(const StatusOrder& order, const std::map<std::string, std::string>& payBy = {}) {
  const OrderReport& o = order.order;
  const auto pay = o.orderId.empty() ? payBy.end() : payBy.find(o.orderId);
  return "{\"wish\":" + std::to_string(o.wishIndex + 1) + ",\"train\":" + JsonString(o.train) +
         ",\"date\":" + JsonString(o.date) + ",\"seat\":" + JsonString(o.seatName.empty() ? o.seatType : o.seatName) +
         ",\"passengers\":" + JsonList(o.passengers) + ",\"orderId\":" + JsonString(o.orderId) +
         ",\"message\":" + JsonString(o.message) +
         (pay == payBy.end() ? std::string() : ",\"payBy\":" + JsonString(pay->second)) +
         ",\"at\":" + JsonStringFromUtf8(ClockTime(order.at)) + "}";
}

std::string WishJson(const WishStatus& wish, std::optional<std::chrono::system_clock::time_point> saleAt,
                     std::chrono::system_clock::time_point now, const std::optional<WaitlistPlace>& waitlist) {
  std::vector<std::string> classes;
  for (const std::string& code : wish.seatTypes) classes.push_back(SeatName(code));
  std::string json = "{\"wish\":" + std::to_string(wish.index + 1) + ",\"passengers\":" + JsonList(wish.passengers) +
                     ",\"dates\":" + JsonList(wish.dates) + ",\"trains\":" + JsonList(wish.trains) +
                     ",\"classes\":" + JsonList(classes) + ",\"attempts\":" + std::to_string(wish.attempts) +
                     ",\"outcome\":\"" + OutcomeName(wish.outcome) + "\"";
  if (wish.lastQuery) {
    json += ",\"lastQuery\":{\"at\":" + JsonStringFromUtf8(ClockTime(wish.lastQuery->at)) +
            ",\"failed\":" + (wish.lastQuery->failed ? "true" : "false") +
            ",\"date\":" + JsonString(wish.lastQuery->failedDate) +
            ",\"reason\":" + JsonString(wish.lastQuery->reason) + "}";
  }
  if (!wish.lastSeen.empty()) {
    json += ",\"seen\":[";
    for (std::size_t i = 0; i < wish.lastSeen.size(); ++i) {
      const ClassSeen& seen = wish.lastSeen[i];
      json += std::string(i ? "," : "") + "{\"class\":" + JsonString(SeatName(seen.seatType)) +
              ",\"tickets\":" + JsonString(seen.tickets) + ",\"train\":" + JsonString(seen.train) +
              ",\"date\":" + JsonString(seen.date) + "}";
    }
    json += "]";
  }
  if (wish.nextQueryAt) json += ",\"nextQueryAt\":" + JsonStringFromUtf8(ClockTime(*wish.nextQueryAt));
  if (saleAt && *saleAt > now && wish.outcome != WishOutcome::kBooked && wish.outcome != WishOutcome::kManualCheck) {
    json += ",\"saleAt\":" + JsonStringFromUtf8(ClockTime(*saleAt));
  }
  if (waitlist) {
    json +=
        ",\"waitlist\":{\"id\":" + JsonString(waitlist->reserveNo) + ",\"state\":" + JsonString(waitlist->state) + "}";
  }
  if (wish.lastRefusal) json += ",\"lastRefusal\":" + OrderJson(*wish.lastRefusal);
  if (wish.ending) json += ",\"ending\":" + OrderJson(*wish.ending);
  return json + "}";
}

}  // namespace

WebStatus::WebStatus(StatusSources sources) : sources_(std::move(sources)) {}

void WebStatus::Changed() {
  {
    std::lock_guard lock(mutex_);
    ++version_;
  }
  changed_.notify_all();
}

void WebStatus::OnSignedIn() {
  {
    std::lock_guard lock(mutex_);
    lapsed_ = false;
    signIn_ = PendingSignIn{PendingSignIn::Kind::kNone, signIn_.id + 1, {}, {}};
  }
  Changed();
}
void WebStatus::OnWishAdded(std::size_t, const OrderWish&) { Changed(); }
void WebStatus::OnGrabStarted(const GrabStart&) { Changed(); }
void WebStatus::OnGrabAttempt(const GrabAttempt&) { Changed(); }
void WebStatus::OnQueryFailed(const QueryFailure&) { Changed(); }
void WebStatus::OnNextQuery(const NextQuery&) { Changed(); }
void WebStatus::OnPassSeen(const PassSeen&) { Changed(); }
void WebStatus::OnOrderRefused(const OrderReport&) { Changed(); }
void WebStatus::OnOrderBooked(const OrderReport&) { Changed(); }
void WebStatus::OnOrderNeedsManualCheck(const OrderReport&) { Changed(); }
void WebStatus::OnGrabStopped(const GrabStop&) { Changed(); }
void WebStatus::OnWishWithoutTrains(const WishWithoutTrains&) { Changed(); }

void WebStatus::OnSessionLapsed(const SessionLapse&) {
  {
    std::lock_guard lock(mutex_);
    lapsed_ = true;
  }
  Changed();
}

void WebStatus::AddLine(const std::string& utf8) {
  const std::string stamped = ClockTime(sources_.now()) + " " + utf8;
  {
    std::lock_guard lock(mutex_);
    lines_.Add(stamped);
    ++version_;
  }
  changed_.notify_all();
}

void WebStatus::SetClock(const ServiceClockNote& note) {
  {
    std::lock_guard lock(mutex_);
    clock_ = note;
  }
  Changed();
}

void WebStatus::ShowCaptcha(const std::string& jpeg) {
  {
    std::lock_guard lock(mutex_);
    signIn_ = PendingSignIn{PendingSignIn::Kind::kCaptcha, signIn_.id + 1, jpeg, {}};
  }
  Changed();
}

void WebStatus::ShowQrCode(const std::string& content) {
  {
    std::lock_guard lock(mutex_);
    signIn_ = PendingSignIn{PendingSignIn::Kind::kQr, signIn_.id + 1, {}, content};
  }
  Changed();
}

void WebStatus::ClearSignIn() {
  {
    std::lock_guard lock(mutex_);
    signIn_ = PendingSignIn{PendingSignIn::Kind::kNone, signIn_.id + 1, {}, {}};
  }
  Changed();
}

void WebStatus::SetStopping() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  Changed();
}

void WebStatus::SetWaitlist(std::size_t wishIndex, WaitlistPlace place) {
  {
    std::lock_guard lock(mutex_);
    if (waitlist_.size() <= wishIndex) waitlist_.resize(wishIndex + 1);
    waitlist_[wishIndex] = std::move(place);
  }
  Changed();
}

void WebStatus::SetPayBy(const std::string& orderId, const std::string& payBy) {
  if (orderId.empty() || payBy.empty()) return;
  {
    std::lock_guard lock(mutex_);
    payBy_[orderId] = payBy;
  }
  Changed();
}

PendingSignIn WebStatus::SignIn() const {
  std::lock_guard lock(mutex_);
  return signIn_;
}

std::uint64_t WebStatus::Version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

std::optional<std::uint64_t> WebStatus::WaitForChange(std::uint64_t seen, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return shutDown_ || version_ > seen; });
  if (shutDown_) return std::nullopt;
  return version_;
}

void WebStatus::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
  }
  changed_.notify_all();
}

std::string WebStatus::SnapshotJson(std::uint64_t linesSeen, std::uint64_t* lastLine) const {
  // The session's parts are read without this object's lock: the session
  // takes its own, and an event may be telling this object at the same time.
  const SessionStatus status = sources_.status ? sources_.status() : SessionStatus{};
  const auto saleMoments = sources_.saleMoments ? sources_.saleMoments()
                                                : std::vector<std::optional<std::chrono::system_clock::time_point>>{};
  const auto now = sources_.now();
  std::vector<std::optional<WaitlistPlace>> waitlist;
  std::map<std::string, std::string> payBy;
  {
    std::lock_guard lock(mutex_);
    waitlist = waitlist_;
    payBy = payBy_;
  }

  std::string json = "{\"account\":" + JsonString(status.account) +
                     ",\"signedIn\":" + (status.signedIn ? "true" : "false") +
                     ",\"now\":" + JsonStringFromUtf8(ClockTime(now));
  json += ",\"wishes\":[";
  for (std::size_t i = 0; i < status.wishes.size(); ++i) {
    const WishStatus& wish = status.wishes[i];
    const auto saleAt = wish.index < saleMoments.size() ? saleMoments[wish.index] : std::nullopt;
    json += (i ? "," : "") +
            WishJson(wish, saleAt, now, wish.index < waitlist.size() ? waitlist[wish.index] : std::nullopt);
  }
  json += "],\"bookings\":[";
  for (std::size_t i = 0; i < status.bookings.size(); ++i)
    json += (i ? "," : "") + OrderJson(status.bookings[i], payBy);
  json += "]";

  std::lock_guard lock(mutex_);
  json += ",\"lapsed\":" + std::string(lapsed_ && !status.signedIn ? "true" : "false");
  json += ",\"stopping\":" + std::string(stopping_ ? "true" : "false");
  if (clock_) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    json += ",\"clock\":{\"read\":" + std::string(clock_->read ? "true" : "false") +
            ",\"offsetMs\":" + std::to_string(duration_cast<milliseconds>(clock_->offset).count()) +
            ",\"uncertaintyMs\":" + std::to_string(duration_cast<milliseconds>(clock_->uncertainty).count()) +
            ",\"probes\":" + std::to_string(clock_->probes) + "}";
  } else {
    json += ",\"clock\":null";
  }
  switch (signIn_.kind) {
    case PendingSignIn::Kind::kNone:
      json += ",\"signIn\":null";
      break;
    case PendingSignIn::Kind::kCaptcha:
      json += ",\"signIn\":{\"kind\":\"captcha\",\"id\":" + std::to_string(signIn_.id) + "}";
      break;
    case PendingSignIn::Kind::kQr:
      json += ",\"signIn\":{\"kind\":\"qr\",\"id\":" + std::to_string(signIn_.id) +
              ",\"content\":" + JsonStringFromUtf8(signIn_.qrContent) + "}";
      break;
  }
  json += ",\"lines\":[";
  const std::vector<NumberedLine> lines = lines_.After(linesSeen);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    json += (i ? "," : "") + std::string("{\"n\":") + std::to_string(lines[i].number) +
            ",\"text\":" + JsonStringFromUtf8(lines[i].text) + "}";
  }
  if (lastLine != nullptr) *lastLine = lines_.Last();
  json += "],\"lastLine\":" + std::to_string(lines_.Last()) + "}";
  return json;
}

}  // namespace quillet::web
