#include "cli/event_output.h"

#include "net/service_clock.h"
#include "util/china_moment.h"
#include "util/codepage.h"
#include "util/json_text.h"
#include "util/messages.h"
#include "util/text.h"

namespace quillet::cli {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::string JsonList(const std::vector<std::string>& gbkTexts) {
  std::string out = "[";
  for (std::size_t i = 0; i < gbkTexts.size(); ++i) out += (i ? "," : "") + JsonString(gbkTexts[i]);
  return out + "]";
}

std::string OrderJson(const char* event, const EventOrder& order) {
  return std::string("{\"event\":\"") + event + "\",\"wish\":" + std::to_string(order.wish) +
         ",\"date\":" + JsonString(order.date) + ",\"train\":" + JsonString(order.train) +
         ",\"seat\":" + JsonString(order.seat) + ",\"passengers\":" + JsonList(order.passengers);
}

std::string OrderText(const EventOrder& order) {
  std::string names;
  for (const std::string& name : order.passengers) names += (names.empty() ? "" : ", ") + Utf8FromGbk(name);
  return quillet::Format(_("%s on %s, %s, for %s"), Utf8FromGbk(order.train), Utf8FromGbk(order.date),
                         Utf8FromGbk(order.seat), names);
}

std::string NullOrText(const std::string& utf8) {
  return utf8.empty() ? std::string("null") : JsonStringFromUtf8(utf8);
}

std::string ServiceEventJson(const ServiceEvent& e) {
  switch (e.kind) {
    case ServiceEvent::Kind::kClosed:
    case ServiceEvent::Kind::kClosedByService:
      return std::string("{\"event\":\"service_closed\",\"until\":") + JsonStringFromUtf8(e.until) +
             ",\"told_by_service\":" + (e.kind == ServiceEvent::Kind::kClosedByService ? "true" : "false") + "}";
    case ServiceEvent::Kind::kThrottled:
      return "{\"event\":\"throttled\",\"pause_ms\":" + std::to_string(e.pauseMs) + "}";
    case ServiceEvent::Kind::kStillThrottled:
      return "{\"event\":\"still_throttled\",\"seconds\":" + std::to_string(e.seconds) + "}";
    case ServiceEvent::Kind::kThrottleEnded:
      return "{\"event\":\"throttle_ended\",\"seconds\":" + std::to_string(e.seconds) + "}";
    case ServiceEvent::Kind::kQueryPathMoved:
      return "{\"event\":\"query_path_moved\",\"path\":" + JsonStringFromUtf8(e.path) + "}";
  }
  return std::string("{\"event\":\"service\"}");
}

std::string ServiceEventText(const ServiceEvent& e) {
  switch (e.kind) {
    case ServiceEvent::Kind::kClosed:
      return quillet::Format(_("the service is closed until %s (China Standard Time); waiting"), e.until);
    case ServiceEvent::Kind::kClosedByService:
      return quillet::Format(_("the service refused an order for its closed hours; waiting until %s"), e.until);
    case ServiceEvent::Kind::kThrottled:
      return quillet::Format(_("the service is throttling the queries; backing off (%s ms first)"),
                             std::to_string(e.pauseMs));
    case ServiceEvent::Kind::kStillThrottled:
      return quillet::Format(_("the service has been throttling the queries for %s s"), std::to_string(e.seconds));
    case ServiceEvent::Kind::kThrottleEnded:
      return quillet::Format(_("the service answers normally again after %s s; normal pace"),
                             std::to_string(e.seconds));
    case ServiceEvent::Kind::kQueryPathMoved:
      return quillet::Format(_("the service moved its left-ticket query to %s; following it"), e.path);
  }
  return {};
}

std::string WishPrefix(int wish) { return quillet::Format(_("wish %s: "), std::to_string(wish)); }

// ,"seats":[{"passenger":..,"coach":..,"seat":..}] when the seats are known.
std::string SeatsJson(const std::vector<BookedSeat>& seats) {
  if (seats.empty()) return {};
  std::string json = ",\"seats\":[";
  for (std::size_t i = 0; i < seats.size(); ++i) {
    json += std::string(i ? "," : "") + "{\"passenger\":" + JsonString(seats[i].passengerName) +
            ",\"coach\":" + JsonString(seats[i].coach) + ",\"seat\":" + JsonString(seats[i].seatName) + "}";
  }
  return json + "]";
}

// "; seats: 张伟 car 05 seat 07F号, 李娜 car 05 seat 08F号"
std::string SeatsText(const std::vector<BookedSeat>& seats) {
  if (seats.empty()) return {};
  std::string text;
  for (const BookedSeat& seat : seats) {
    text += (text.empty() ? "" : ", ") + quillet::Format(_("%s car %s seat %s"), Utf8FromGbk(seat.passengerName),
                                                         Utf8FromGbk(seat.coach), Utf8FromGbk(seat.seatName));
  }
  return quillet::Format(_("; seats: %s"), text);
}

// The readable line of an event other than an attempt (UTF-8).
std::string EventLine(const Event& event) {
  return std::visit(
      Overloaded{
          [](const AttemptEvent&) { return std::string(); },
          [](const QueryFailedEvent& e) {
            return WishPrefix(e.wish) +
                   quillet::Format(_("query for %s failed: %s"), Utf8FromGbk(e.date), Utf8FromGbk(e.reason));
          },
          [](const OrderRefusedEvent& e) {
            return WishPrefix(e.order.wish) +
                   quillet::Format(_("order refused, %s: %s"), OrderText(e.order), Utf8FromGbk(e.reason));
          },
          [](const ManualCheckEvent& e) {
            return WishPrefix(e.order.wish) +
                   quillet::Format(_("CHECK BY HAND, %s: %s"), OrderText(e.order), Utf8FromGbk(e.reason));
          },
          [](const BookedEvent& e) {
            if (e.viaWaitlist) {
              return WishPrefix(e.order.wish) +
                     quillet::Format(_("BOOKED via waitlist %s, order %s"), OrderText(e.order), Utf8FromGbk(e.orderId));
            }
            return WishPrefix(e.order.wish) +
                   (e.orderId.empty()
                        ? quillet::Format(_("BOOKED %s"), OrderText(e.order))
                        : quillet::Format(_("BOOKED %s, order %s"), OrderText(e.order), Utf8FromGbk(e.orderId))) +
                   SeatsText(e.seats);
          },
          [](const SaleOpeningEvent& e) {
            const std::string where =
                quillet::Format(_("%s at %s (%s)"), Utf8FromGbk(e.date), Utf8FromGbk(e.station), e.telecode);
            if (!e.opening) {
              return WishPrefix(e.wish) +
                     quillet::Format(_("sale of %s: not in the service's table, starts at once"), where);
            }
            return WishPrefix(e.wish) +
                   quillet::Format(_("sale of %s opens %s (China Standard Time)"), where, ChinaMomentText(*e.opening));
          },
          // The reason is a signal's name or a text marked N_() where it was made.
          [](const StoppedEvent& e) {
            return quillet::Format(_("stopped: %s"), std::string(::gettext(e.reason.c_str())));
          },
          [](const ClockEvent& e) {
            if (e.note.read) {
              return quillet::Format(_("service clock: %s (%s probes)"),
                                     net::OffsetText(e.note.offset, e.note.uncertainty), std::to_string(e.note.probes));
            }
            std::string reason = _("no answer of the service carried a readable Date header");
            if (e.note.answersDisagree) reason = _("the service's answers disagree about the time");
            if (e.note.farOff) reason = _("the service's clock is more than 24 hours away from this machine's");
            return quillet::Format(_("service clock: cannot be read (%s); this machine's clock is used as China "
                                     "Standard Time"),
                                   reason);
          },
          [](const QrCodeEvent& e) { return quillet::Format(_("QR code to scan: %s"), e.content); },
          [](const SessionLapsedEvent& e) {
            std::string text = _("the service no longer knows the sign-in (the session lapsed)");
            if (!e.qrContent.empty()) text += quillet::Format(_("; scan the new QR code: %s"), e.qrContent);
            return text;
          },
          [](const SignedInEvent& e) {
            if (e.again) return std::string(_("signed in again; grabbing goes on"));
            return quillet::Format(_("signed in (%s)"), e.method);
          },
          [](const UnknownTrainEvent& e) {
            return WishPrefix(e.wish) +
                   quillet::Format(_("the service runs no train %s between these stations on any of the "
                                     "wish's dates"),
                                   Utf8FromGbk(e.train));
          },
          [](const NoTrainRunsEvent& e) {
            return WishPrefix(e.wish) + _("GIVEN UP: none of its trains runs on any of its dates");
          },
          [](const NotificationEvent& e) {
            std::string text = quillet::Format(
                e.delivered ? _("notify %s: delivered %s") : _("notify %s: not delivered %s"), e.notifier, e.about);
            if (!e.train.empty()) text += quillet::Format(_(" %s on %s"), Utf8FromGbk(e.train), Utf8FromGbk(e.date));
            if (!e.delivered) text += ": " + Utf8FromGbk(e.reason);
            return text;
          },
          [](const WaitlistEvent& e) { return WishPrefix(e.wish) + WaitlistEventText(e); },
          [](const ServiceEvent& e) { return ServiceEventText(e); },
      },
      event);
}

}  // namespace

std::string GrabEventJson(const Event& event) {
  return std::visit(
      Overloaded{
          [](const AttemptEvent& e) {
            return "{\"event\":\"attempt\",\"wish\":" + std::to_string(e.wish) +
                   ",\"attempts\":" + std::to_string(e.newAttempts) + ",\"total\":" + std::to_string(e.attempts) + "}";
          },
          [](const QueryFailedEvent& e) {
            return "{\"event\":\"query_failed\",\"wish\":" + std::to_string(e.wish) +
                   ",\"date\":" + JsonString(e.date) + ",\"reason\":" + JsonString(e.reason) + "}";
          },
          [](const OrderRefusedEvent& e) {
            return OrderJson("order_refused", e.order) + ",\"reason\":" + JsonString(e.reason) + "}";
          },
          [](const ManualCheckEvent& e) {
            return OrderJson("manual_check", e.order) + ",\"reason\":" + JsonString(e.reason) + "}";
          },
          [](const BookedEvent& e) {
            return OrderJson("booked", e.order) +
                   ",\"order_id\":" + (e.orderId.empty() ? std::string("null") : JsonString(e.orderId)) +
                   (e.viaWaitlist ? ",\"via\":\"waitlist\"" : "") + SeatsJson(e.seats) + "}";
          },
          [](const SaleOpeningEvent& e) {
            return "{\"event\":\"sale_opening\",\"wish\":" + std::to_string(e.wish) +
                   ",\"date\":" + JsonString(e.date) + ",\"station\":" + JsonString(e.station) +
                   ",\"telecode\":" + JsonString(e.telecode) + ",\"opens\":" +
                   (e.opening ? JsonStringFromUtf8(ChinaIsoMoment(*e.opening, IsoPrecision::kMilliseconds))
                              : std::string("null")) +
                   "}";
          },
          [](const StoppedEvent& e) {
            return "{\"event\":\"stopped\",\"reason\":" + JsonStringFromUtf8(e.reason) + "}";
          },
          [](const ClockEvent& e) {
            std::string json = "{\"event\":\"clock\",\"text\":" + JsonStringFromUtf8(ServiceClockNoteText(e.note));
            if (e.note.read) {
              json += ",\"offset_ms\":" + std::to_string(e.note.offset.count() / 1000000) +
                      ",\"uncertainty_ms\":" + std::to_string(e.note.uncertainty.count() / 1000000) +
                      ",\"probes\":" + std::to_string(e.note.probes);
            }
            return json + "}";
          },
          [](const QrCodeEvent& e) {
            return "{\"event\":\"qr_code\",\"id\":" + JsonStringFromUtf8(e.id) +
                   ",\"content\":" + JsonStringFromUtf8(e.content) + ",\"picture\":" + NullOrText(e.picture) + "}";
          },
          [](const SessionLapsedEvent& e) {
            if (e.qrContent.empty()) return std::string("{\"event\":\"session_lapsed\"}");
            return "{\"event\":\"session_lapsed\",\"qr_content\":" + JsonStringFromUtf8(e.qrContent) +
                   ",\"qr_picture\":" + NullOrText(e.qrPicture) + "}";
          },
          [](const SignedInEvent& e) {
            if (e.method.empty()) return std::string("{\"event\":\"signed_in\"}");
            return "{\"event\":\"signed_in\",\"method\":" + JsonStringFromUtf8(e.method) + "}";
          },
          [](const UnknownTrainEvent& e) {
            return "{\"event\":\"unknown_train\",\"wish\":" + std::to_string(e.wish) +
                   ",\"train\":" + JsonString(e.train) + "}";
          },
          [](const NoTrainRunsEvent& e) {
            return "{\"event\":\"wish_failed\",\"wish\":" + std::to_string(e.wish) + ",\"reason\":\"no_train_runs\"}";
          },
          [](const NotificationEvent& e) {
            std::string json = std::string("{\"event\":\"") + (e.delivered ? "notify_delivered" : "notify_failed") +
                               "\",\"notifier\":" + JsonStringFromUtf8(e.notifier) +
                               ",\"about\":" + JsonStringFromUtf8(e.about) + ",\"train\":" + JsonString(e.train) +
                               ",\"date\":" + JsonString(e.date);
            if (!e.delivered) json += ",\"reason\":" + JsonString(e.reason);
            return json + "}";
          },
          [](const WaitlistEvent& e) { return WaitlistEventJson(e); },
          [](const ServiceEvent& e) { return ServiceEventJson(e); },
      },
      event);
}

std::string GrabEventJson(const Event& event, std::chrono::system_clock::time_point at) {
  std::string json = GrabEventJson(event);
  json.insert(json.size() - 1, ",\"at\":" + JsonStringFromUtf8(ChinaIsoMoment(at, IsoPrecision::kMilliseconds)));
  return json;
}

EventOutput::EventOutput(std::ostream& out, Format format, bool terminal, Clock clock, WallClock wallClock)
    : out_(out), format_(format), terminal_(terminal), clock_(std::move(clock)), wallClock_(std::move(wallClock)) {}

EventOutput::EventOutput(EventOutput& parent, std::string account)
    : out_(parent.out_),
      format_(parent.format_),
      terminal_(parent.terminal_),
      clock_(parent.clock_),
      wallClock_(parent.wallClock_),
      parent_(&parent),
      account_(std::move(account)) {}

void EventOutput::SetLineTee(LineTee tee) {
  if (parent_) return parent_->SetLineTee(std::move(tee));
  std::lock_guard lock(mutex_);
  tee_ = std::move(tee);
}

void EventOutput::Write(const Event& event) {
  if (parent_) return parent_->WriteFor(event, account_);
  WriteFor(event, {});
}

namespace {

// "[name] " before a line of an account's event; nothing without one.
std::string AccountPrefix(const std::string& account) {
  return account.empty() ? std::string() : "[" + Utf8FromGbk(account) + "] ";
}

}  // namespace

void EventOutput::WriteFor(const Event& event, const std::string& account) {
  std::lock_guard lock(mutex_);
  if (tee_ && !std::holds_alternative<AttemptEvent>(event)) tee_(AccountPrefix(account) + EventLine(event));
  if (format_ == Format::kJson) {
    WriteJson(event, account);
    return;
  }
  WriteText(event, account);
}

void EventOutput::WriteJson(const Event& event, const std::string& account) {
  std::string json;
  if (const auto* attempt = std::get_if<AttemptEvent>(&event)) {
    const auto now = clock_();
    const WishKey key{account, attempt->wish};
    const auto last = attemptLines_.find(key);
    if (last != attemptLines_.end() && now - last->second.when < std::chrono::seconds(1)) return;
    AttemptEvent line = *attempt;
    line.newAttempts = attempt->attempts - (last == attemptLines_.end() ? 0 : last->second.attempts);
    attemptLines_[key] = {now, attempt->attempts};
    json = GrabEventJson(line, wallClock_());
  } else {
    json = GrabEventJson(event, wallClock_());
  }
  if (!account.empty()) json.insert(json.find(',') + 1, "\"account\":" + JsonString(account) + ",");
  out_ << json << "\n" << std::flush;
}

void EventOutput::Finish() {
  if (parent_) return parent_->Finish();
  std::lock_guard lock(mutex_);
  if (statusShown_) out_ << "\n" << std::flush;
  statusShown_ = false;
}

std::string EventOutput::StatusText() const {
  std::string text = _("attempts:");
  for (const auto& [key, attempts] : attempts_) {
    text += " " + AccountPrefix(key.first) +
            quillet::Format(_("wish %s %s"), std::to_string(key.second), std::to_string(attempts));
  }
  return text;
}

void EventOutput::WriteText(const Event& event, const std::string& account) {
  if (const auto* attempt = std::get_if<AttemptEvent>(&event)) {
    attempts_[{account, attempt->wish}] = attempt->attempts;
    const auto now = clock_();
    if (statusPending_ && now - lastStatus_ < std::chrono::seconds(1)) return;
    statusPending_ = true;
    lastStatus_ = now;
    if (terminal_) {
      out_ << "\r" << StatusText() << "\x1b[K" << std::flush;
      statusShown_ = true;
    } else {
      out_ << StatusText() << "\n" << std::flush;
    }
    return;
  }
  const std::string line = AccountPrefix(account) + EventLine(event);
  if (statusShown_) out_ << "\r\x1b[K";
  statusShown_ = false;
  out_ << VisibleControls(line) << "\n" << std::flush;
}

}  // namespace quillet::cli
