#pragma once
// SIGINT and SIGTERM, taken on a thread of their own with sigwait: no work
// runs in a signal handler. BlockStopSignals must run before any other
// thread starts, so that every thread inherits the blocked mask.
#include <functional>
#include <thread>

namespace quillet::cli {

void BlockStopSignals();

class SignalWatcher {
 public:
  // `onSignal` runs on the watcher's thread; when it returns false the signal
  // is not wanted now and ends the program as if it had not been caught.
  explicit SignalWatcher(std::function<bool(int)> onSignal);
  ~SignalWatcher();  // ends the watcher's thread
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  void Run();
  std::function<bool(int)> onSignal_;
  std::thread thread_;
};

}  // namespace quillet::cli
