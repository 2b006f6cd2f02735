#pragma once
// How the service behaves beyond its endpoints: daily hours outside which it
// takes no orders, a left-ticket query path that moves, and throttling of a
// client that queries too fast.
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "sim_http.h"

namespace quillet::sim {

// Daily hours in China Standard Time; a close before the open runs past
// midnight ("06:00-01:00").
struct DailyHours {
  int openMinute = 0;   // minutes after midnight
  int closeMinute = 0;  // the same; equal to openMinute: open all day
};
// "HH:MM-HH:MM"; nothing for anything else.
std::optional<DailyHours> ParseDailyHours(std::string_view text);
// Whether the service is open at a Unix time (ms) of its clock.
bool OpenAt(const DailyHours& hours, std::int64_t unixMs);

// A query path as --query-path takes it, relative to /otn/: letters, digits,
// "/" and "_", not starting with "/", at most 64 bytes.
bool ValidQueryPath(std::string_view path);

inline constexpr char kDefaultQueryPath[] = "/otn/leftTicket/query";
// Where a throttled client is sent.
inline constexpr char kErrorPagePath[] = "/otn/view/error.html";
inline constexpr std::int64_t kThrottleMs = 10000;

class ServiceBehaviour {
 public:
  // hours: none for always open; queryPath: relative to /otn/, empty for
  // the usual one; throttle: most queries per second of one client (one
  // session from one address), 0 for no limit.
  ServiceBehaviour(std::optional<DailyHours> hours, std::string queryPath, int throttle);

  struct Screened {
    std::optional<SimResponse> answer;  // replaces the service's own
    bool isQuery = false;               // serve as the left-ticket query
  };
  Screened Screen(const SimRequest& request);
  void Reset();

 private:
  // Counts a query of the client (address and session id); true when it is throttled.
  bool Throttled(const std::string& client, std::int64_t nowMs);

  const std::optional<DailyHours> hours_;
  const std::string queryPath_;  // absolute; empty: the usual one
  const int throttle_;

  std::mutex mutex_;  // guards clients_
  struct Client {
    std::deque<std::int64_t> recent;  // arrivals within the last second
    std::int64_t throttledUntilMs = 0;
  };
  std::map<std::string, Client> clients_;
};

}  // namespace quillet::sim
