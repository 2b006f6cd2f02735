#include "fleet/lease_keeper.h"

#include <utility>

#include "util/wait.h"

namespace quillet::fleet {

LeaseKeeper::LeaseKeeper(FleetStore& store, std::string account, std::string member,
                         std::function<void(LeaseChange)> onChange)
    : store_(store),
      account_(std::move(account)),
      member_(std::move(member)),
      onChange_(std::move(onChange)),
      thread_([this](std::stop_token stop) { Run(std::move(stop)); }) {}

LeaseKeeper::~LeaseKeeper() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
  if (held_.exchange(false)) store_.ReleaseLease(account_, member_);
}

void LeaseKeeper::Run(std::stop_token stop) {
  const FleetTimings& timings = store_.Timings();
  while (!stop.stop_requested()) {
    if (!held_.load()) {
      if (store_.TakeLease(account_, member_).state == LeaseState::kHeld) {
        held_ = true;
        if (onChange_) onChange_(LeaseChange::kTaken);
        if (!WaitUnlessStopped(stop, timings.renewEvery)) return;
        continue;
      }
      if (!WaitUnlessStopped(stop, timings.takeEvery)) return;
      continue;
    }
    if (store_.RenewLease(account_, member_).state != LeaseState::kHeld) {
      held_ = false;
      if (onChange_) onChange_(LeaseChange::kLost);
      if (!WaitUnlessStopped(stop, timings.takeEvery)) return;
      continue;
    }
    if (!WaitUnlessStopped(stop, timings.renewEvery)) return;
  }
}

HeartbeatKeeper::HeartbeatKeeper(FleetStore& store, std::string member, std::string address)
    : store_(store), member_(std::move(member)), address_(std::move(address)), thread_([this](std::stop_token stop) {
        do {
          store_.Beat(member_, address_);
        } while (WaitUnlessStopped(stop, store_.Timings().heartbeatEvery));
      }) {}

HeartbeatKeeper::~HeartbeatKeeper() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
  // A Redis that does not answer now lets the heartbeat run out instead.
  static_cast<void>(store_.Leave(member_));
}

}  // namespace quillet::fleet
