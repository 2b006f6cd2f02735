#include "grab/keep_alive.h"

#include <algorithm>

namespace quillet {

KeepAlive::KeepAlive(std::chrono::milliseconds interval, std::function<SteadyTime()> lastActivity,
                     std::function<void(const std::stop_token&)> check, ScheduleClocks clocks)
    : interval_(interval),
      lastActivity_(std::move(lastActivity)),
      check_(std::move(check)),
      clocks_(std::move(clocks)),
      thread_([this](const std::stop_token& stop) { Run(stop); }) {}

KeepAlive::~KeepAlive() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

void KeepAlive::Run(const std::stop_token& stop) {
  SteadyTime lastCheck = SteadyTime::min();
  while (!stop.stop_requested()) {
    const SteadyTime due = std::max(lastActivity_(), lastCheck) + interval_;
    if (clocks_.steadyNow() < due) {
      if (!clocks_.waitUntil(due, stop)) return;
      continue;  // the workers may have sent something meanwhile
    }
    check_(stop);
    lastCheck = clocks_.steadyNow();
  }
}

}  // namespace quillet
