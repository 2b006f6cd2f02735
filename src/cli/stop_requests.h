#pragma once
// What SIGINT and SIGTERM ask of quillet-grab. The first one stops: grabbing
// ends as with the stop button, and a sign-in, a password or a captcha prompt
// ends at once. A second one ends the program: everything closes, and if the
// program is still there two seconds later it leaves at once anyway.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace quillet::cli {

class StopRequests {
 public:
  // `lastResort` runs on a thread of its own when the program is still there
  // `exitBound` after the second signal; it should put the terminal right
  // and leave (it never returns to the program).
  explicit StopRequests(std::function<void()> lastResort,
                        std::chrono::milliseconds exitBound = std::chrono::milliseconds(1800));
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  // Called with each signal, on the signal watcher's thread.
  void Take(int signalNumber);

  int Count() const;
  int FirstSignal() const;  // 0 while there was none
  // Triggered by the n-th signal (n = 1, 2 or 3; larger n count as 3).
  std::stop_token Nth(int n) const;
  std::stop_token First() const { return Nth(1); }
  std::stop_token Second() const { return Nth(2); }
  // Readable from the first signal on, for poll() next to a blocking read.
  int WakeFd() const { return wakePipe_[0]; }

 private:
  static constexpr int kTracked = 3;
  std::function<void()> lastResort_;
  const std::chrono::milliseconds exitBound_;
  mutable std::mutex mutex_;  // guards the two fields below
  int count_ = 0;
  int first_ = 0;
  std::stop_source sources_[kTracked];
  int wakePipe_[2] = {-1, -1};
  std::jthread lastResortTimer_;
};

// "SIGINT", "SIGTERM" or "a signal".
const char* SignalName(int signalNumber);

}  // namespace quillet::cli
