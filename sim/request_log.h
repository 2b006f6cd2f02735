#pragma once
// The requests the service received, as received, for tests and scripts:
// the last 2000 in order, and a count per path.
#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quillet::sim {

struct LoggedRequest {
  std::int64_t ms = 0;      // since the service started
  std::int64_t unixMs = 0;  // the machine's own clock, not shifted by --clock-shift-ms
  std::string address;      // where the request came from
  std::string method;
  std::string path;   // raw, as in the request line
  std::string query;  // raw text after "?"
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

class RequestLog {
 public:
  static constexpr std::size_t kCapacity = 2000;

  RequestLog() : started_(std::chrono::steady_clock::now()) {}
  std::int64_t ElapsedMs() const;
  void Add(LoggedRequest entry);
  // The machine's clock in Unix ms, unshifted, for the log's times.
  static std::int64_t MachineUnixMs();
  // [{"t":..,"unix_ms":..,"address":..,"method":..,"path":..,"query":..,"headers":{..},"body":..},...]
  std::string EntriesJson() const;
  // {"<path>":<count>,...}
  std::string CountsJson() const;
  void Clear();

 private:
  const std::chrono::steady_clock::time_point started_;
  mutable std::mutex mutex_;
  std::deque<LoggedRequest> entries_;
  std::map<std::string, long long> counts_;
};

}  // namespace quillet::sim
