#include "util/wait.h"

#include <atomic>
#include <cstdint>

#if defined(__linux__)
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#else
#include <condition_variable>
#include <mutex>
#endif

namespace quillet {

#if defined(__linux__)

namespace {

// The futex word is the atomic's own 32 bits.
std::uint32_t* FutexWord(std::atomic<std::uint32_t>& word) { return reinterpret_cast<std::uint32_t*>(&word); }

}  // namespace

bool WaitUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) {
  static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
  using Clock = std::chrono::steady_clock;
  if (stop.stop_requested()) return false;
  std::atomic<std::uint32_t> stopped{0};
  // The callback runs on the thread that requests the stop; destroying it
  // waits for a running call to end, so `stopped` outlives every use.
  const std::stop_callback wakeOnStop(stop, [&stopped] {
    stopped.store(1, std::memory_order_release);
    syscall(SYS_futex, FutexWord(stopped), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
  });
  const Clock::time_point deadline = Clock::now() + duration;
  // The kernel's timeout is relative (on the monotonic clock); an early
  // return (a signal, a wake-up before the wait began) waits again for the rest.
  while (stopped.load(std::memory_order_acquire) == 0) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    const timespec timeout{static_cast<time_t>(left.count() / 1'000'000'000),
                           static_cast<long>(left.count() % 1'000'000'000)};
    syscall(SYS_futex, FutexWord(stopped), FUTEX_WAIT_PRIVATE, 0u, &timeout, nullptr, 0);
  }
  return !stop.stop_requested();
}

#else

bool WaitUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) {
  std::mutex mutex;
  std::condition_variable_any wakeUp;
  std::unique_lock lock(mutex);
  wakeUp.wait_for(lock, stop, duration, [] { return false; });
  return !stop.stop_requested();
}

#endif

}  // namespace quillet
