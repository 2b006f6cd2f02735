#include "service_behaviour.h"

#include <algorithm>

#include "answers.h"
#include "text_codec.h"
#include "util/china_moment.h"

namespace quillet::sim {

namespace {

constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;
constexpr std::int64_t kChinaOffsetMs = 8LL * 3600 * 1000;
constexpr std::size_t kMaxClients = 10000;

// The order steps: what the service refuses outside its hours (the order
// page still shows, for the passenger list).
bool IsOrderStep(const std::string& path) {
  static const char* const kSteps[] = {
      "/otn/leftTicket/submitOrderRequest",          "/otn/confirmPassenger/checkOrderInfo",
      "/otn/confirmPassenger/getQueueCount",         "/otn/confirmPassenger/confirmSingleForQueue",
      "/otn/confirmPassenger/resultOrderForDcQueue",
  };
  return std::any_of(std::begin(kSteps), std::end(kSteps), [&](const char* step) { return path == step; });
}

// The refusal in the shape the step answers in.
SimResponse ClosedAnswer(const std::string& path) {
  if (path == "/otn/confirmPassenger/checkOrderInfo" || path == "/otn/confirmPassenger/confirmSingleForQueue") {
    return JsonRefusal(msg::kClosedHours,
                       "{\"errMsg\":" + JsonStringFromUtf8(msg::kClosedHours) + ",\"submitStatus\":false}");
  }
  return JsonRefusal(msg::kClosedHours);
}

std::string SessionIdOf(const std::string& cookieHeader) {
  for (const auto& [name, value] : ParseCookieHeader(cookieHeader)) {
    if (name == "JSESSIONID") return value;
  }
  return {};
}

// A client is one session from one address: members of a fleet that share a
// sign-in but query from their own addresses each have their own budget.
std::string ClientOf(const SimRequest& request) {
  return request.clientAddress + " " + SessionIdOf(request.cookieHeader);
}

}  // namespace

std::optional<DailyHours> ParseDailyHours(std::string_view text) {
  if (text.size() != 11 || text[5] != '-') return std::nullopt;
  const auto open = MinuteOfDay(text.substr(0, 5));
  const auto close = MinuteOfDay(text.substr(6, 5));
  if (!open || !close) return std::nullopt;
  return DailyHours{*open, *close};
}

bool OpenAt(const DailyHours& hours, std::int64_t unixMs) {
  if (hours.openMinute == hours.closeMinute) return true;
  const std::int64_t dayMs = ((unixMs + kChinaOffsetMs) % kDayMs + kDayMs) % kDayMs;
  const std::int64_t open = hours.openMinute * 60000LL;
  const std::int64_t close = hours.closeMinute * 60000LL;
  if (open < close) return dayMs >= open && dayMs < close;
  return dayMs >= open || dayMs < close;  // past midnight
}

bool ValidQueryPath(std::string_view path) {
  if (path.empty() || path.size() > 64 || path.front() == '/') return false;
  return std::all_of(path.begin(), path.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '_';
  });
}

ServiceBehaviour::ServiceBehaviour(std::optional<DailyHours> hours, std::string queryPath, int throttle)
    : hours_(hours), queryPath_(queryPath.empty() ? "" : "/otn/" + queryPath), throttle_(throttle) {}

ServiceBehaviour::Screened ServiceBehaviour::Screen(const SimRequest& request) {
  Screened screened;
  if (request.path == kErrorPagePath) {
    screened.answer = HtmlPage(200, msg::kNetworkBusy, "<p>" + std::string(msg::kNetworkBusy) + "</p>");
    return screened;
  }
  bool query = request.method == "GET" && request.path == kDefaultQueryPath;
  if (!queryPath_.empty() && request.method == "GET") {
    if (request.path == kDefaultQueryPath) {
      // The service's way of saying the query lives elsewhere now.
      const std::string moved = queryPath_.substr(5);
      screened.answer =
          SimResponse{200,
                      kJsonType,
                      "{\"status\":false,\"c_url\":" + JsonStringFromUtf8(moved) + ",\"c_name\":\"CLeftTicketUrl\"}",
                      {}};
      return screened;
    }
    query = request.path == queryPath_;
  }
  if (query) {
    if (throttle_ > 0 && Throttled(ClientOf(request), request.receivedMs)) {
      screened.answer = Redirect(kErrorPagePath);
      return screened;
    }
    screened.isQuery = true;
    return screened;
  }
  if (hours_ && IsOrderStep(request.path) && !OpenAt(*hours_, request.receivedMs)) {
    screened.answer = ClosedAnswer(request.path);
  }
  return screened;
}

bool ServiceBehaviour::Throttled(const std::string& client, std::int64_t nowMs) {
  std::lock_guard lock(mutex_);
  if (clients_.size() >= kMaxClients && clients_.count(client) == 0) clients_.clear();
  Client& state = clients_[client];
  state.recent.push_back(nowMs);
  // Any second: the arrivals after nowMs - 1000, this one included.
  while (!state.recent.empty() && state.recent.front() <= nowMs - 1000) state.recent.pop_front();
  if (state.recent.size() > static_cast<std::size_t>(throttle_)) state.throttledUntilMs = nowMs + kThrottleMs;
  return nowMs < state.throttledUntilMs;
}

void ServiceBehaviour::Reset() {
  std::lock_guard lock(mutex_);
  clients_.clear();
}

}  // namespace quillet::sim
