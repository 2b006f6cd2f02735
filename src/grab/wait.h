#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace quillet {

// Sleeps for `duration` unless stop is requested first; false when stopped.
inline bool WaitUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) {
  std::mutex mutex;
  std::condition_variable_any wakeUp;
  std::unique_lock lock(mutex);
  wakeUp.wait_for(lock, stop, duration, [] { return false; });
  return !stop.stop_requested();
}

}  // namespace quillet
