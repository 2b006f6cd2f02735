#pragma once
// Keeps an idle signed-in session from lapsing: while the workers send
// nothing (waiting for a sale, closed hours), the lightest request the
// service counts as activity goes at most once per interval.
#include <chrono>
#include <functional>
#include <stop_token>
#include <thread>

#include "grab/shared_service_clock.h"

namespace quillet {

class KeepAlive {
 public:
  // `lastActivity` tells when the session last sent anything; `check` sends
  // the keep-alive request (on the keep-alive's own thread). Starts at once.
  KeepAlive(std::chrono::milliseconds interval, std::function<SteadyTime()> lastActivity,
            std::function<void(const std::stop_token&)> check, ScheduleClocks clocks = MachineScheduleClocks());
  ~KeepAlive();  // stops and joins
  KeepAlive(const KeepAlive&) = delete;
  KeepAlive& operator=(const KeepAlive&) = delete;

 private:
  void Run(const std::stop_token& stop);

  const std::chrono::milliseconds interval_;
  const std::function<SteadyTime()> lastActivity_;
  const std::function<void(const std::stop_token&)> check_;
  const ScheduleClocks clocks_;
  std::jthread thread_;  // last: started once everything above is set
};

}  // namespace quillet
