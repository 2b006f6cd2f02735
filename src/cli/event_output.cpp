#include "cli/event_output.h"

#include "util/codepage.h"
#include "util/json_text.h"
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

std::string OrderJson(const char* event, const OrderOutcome& order) {
  return std::string("{\"event\":\"") + event + "\",\"wish\":" + std::to_string(order.wish) +
         ",\"date\":" + JsonString(order.date) + ",\"train\":" + JsonString(order.train) +
         ",\"seat\":" + JsonString(order.seat) + ",\"passengers\":" + JsonList(order.passengers);
}

std::string OrderText(const OrderOutcome& order) {
  std::string names;
  for (const std::string& name : order.passengers) names += (names.empty() ? "" : ", ") + Utf8FromGbk(name);
  return Utf8FromGbk(order.train) + " on " + Utf8FromGbk(order.date) + ", " + Utf8FromGbk(order.seat) + ", for " +
         names;
}

std::string WishPrefix(int wish) { return "wish " + std::to_string(wish) + ": "; }

}  // namespace

std::string EventJson(const Event& event) {
  return std::visit(
      Overloaded{
          [](const AttemptEvent& e) {
            return "{\"event\":\"attempt\",\"wish\":" + std::to_string(e.wish) +
                   ",\"attempts\":" + std::to_string(e.attempts) + "}";
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
                   ",\"order_id\":" + (e.orderId.empty() ? std::string("null") : JsonString(e.orderId)) + "}";
          },
          [](const StoppedEvent& e) {
            return "{\"event\":\"stopped\",\"reason\":" + JsonStringFromUtf8(e.reason) + "}";
          },
          [](const ClockEvent& e) { return "{\"event\":\"clock\",\"text\":" + JsonStringFromUtf8(e.text) + "}"; },
          [](const NotificationEvent& e) {
            std::string json = std::string("{\"event\":\"") + (e.delivered ? "notify_delivered" : "notify_failed") +
                               "\",\"notifier\":" + JsonStringFromUtf8(e.notifier) +
                               ",\"about\":" + JsonStringFromUtf8(e.about) + ",\"train\":" + JsonString(e.train) +
                               ",\"date\":" + JsonString(e.date);
            if (!e.delivered) json += ",\"reason\":" + JsonString(e.reason);
            return json + "}";
          },
      },
      event);
}

EventOutput::EventOutput(std::ostream& out, Format format, bool terminal, Clock clock)
    : out_(out), format_(format), terminal_(terminal), clock_(std::move(clock)) {}

void EventOutput::Write(const Event& event) {
  std::lock_guard lock(mutex_);
  if (format_ == Format::kJson) {
    out_ << EventJson(event) << "\n" << std::flush;
    return;
  }
  WriteText(event);
}

void EventOutput::Finish() {
  std::lock_guard lock(mutex_);
  if (statusShown_) out_ << "\n" << std::flush;
  statusShown_ = false;
}

std::string EventOutput::StatusText() const {
  std::string text = "attempts:";
  for (const auto& [wish, attempts] : attempts_)
    text += " wish " + std::to_string(wish) + " " + std::to_string(attempts);
  return text;
}

void EventOutput::WriteText(const Event& event) {
  if (const auto* attempt = std::get_if<AttemptEvent>(&event)) {
    attempts_[attempt->wish] = attempt->attempts;
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
  const std::string line = std::visit(
      Overloaded{
          [](const AttemptEvent&) { return std::string(); },
          [](const QueryFailedEvent& e) {
            return WishPrefix(e.wish) + "query for " + Utf8FromGbk(e.date) + " failed: " + Utf8FromGbk(e.reason);
          },
          [](const OrderRefusedEvent& e) {
            return WishPrefix(e.order.wish) + "order refused, " + OrderText(e.order) + ": " + Utf8FromGbk(e.reason);
          },
          [](const ManualCheckEvent& e) {
            return WishPrefix(e.order.wish) + "CHECK BY HAND, " + OrderText(e.order) + ": " + Utf8FromGbk(e.reason);
          },
          [](const BookedEvent& e) {
            return WishPrefix(e.order.wish) + "BOOKED " + OrderText(e.order) +
                   (e.orderId.empty() ? std::string() : ", order " + Utf8FromGbk(e.orderId));
          },
          [](const StoppedEvent& e) { return "stopped: " + e.reason; },
          [](const ClockEvent& e) { return e.text; },
          [](const NotificationEvent& e) {
            std::string text = "notify " + e.notifier + (e.delivered ? ": delivered " : ": not delivered ") + e.about;
            if (!e.train.empty()) text += " " + Utf8FromGbk(e.train) + " on " + Utf8FromGbk(e.date);
            if (!e.delivered) text += ": " + Utf8FromGbk(e.reason);
            return text;
          },
      },
      event);
  if (statusShown_) out_ << "\r\x1b[K";
  statusShown_ = false;
  out_ << VisibleControls(line) << "\n" << std::flush;
}

}  // namespace quillet::cli
