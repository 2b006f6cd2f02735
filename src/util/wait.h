#pragma once
#include <chrono>
#include <stop_token>

namespace quillet {

// Sleeps for `duration` unless stop is requested first; false when stopped.
// The program's one interruptible pause: a grab worker sleeps like this
// between every two queries, so the sleep is one timed wait in the kernel
// and a stop request wakes it at once.
bool WaitUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration);

}  // namespace quillet
