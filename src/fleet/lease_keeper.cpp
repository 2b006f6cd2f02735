#include "fleet/lease_keeper.h"

#include <utility>

#include "util/wait.h"

namespace quillet::fleet {

namespace {

// Tries of a member that lacks a sign-in while the lease stays free, before
// it takes it; a member with one tries every round.
constexpr int kFreeTriesBeforeTakingWithoutSignIn = 3;

}  // namespace

LeaseKeeper::LeaseKeeper(FleetStore& store, std::string account, std::string member,
                         std::function<void(LeaseChange)> onChange, std::function<bool()> lacksSignIn)
    : store_(store),
      account_(std::move(account)),
      member_(std::move(member)),
      onChange_(std::move(onChange)),
      lacksSignIn_(std::move(lacksSignIn)),
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
      if (GivesWay()) {
        if (!WaitUnlessStopped(stop, timings.takeEvery)) return;
        continue;
      }
      const LeaseResult taken = store_.TakeLease(account_, member_);
      if (taken.state == LeaseState::kHeldByOther && !taken.holder.empty()) sawOtherHolder_ = true;
      if (taken.state == LeaseState::kHeld) {
        freeTries_ = 0;
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

bool LeaseKeeper::GivesWay() {
  if (!sawOtherHolder_ || !lacksSignIn_ || !lacksSignIn_()) {
    freeTries_ = 0;
    return false;
  }
  const HolderResult holder = store_.LeaseHolder(account_);
  if (holder.failure != RedisFailure::kNone) return true;
  if (holder.holder == member_) return false;  // still ours: renewed by taking it
  if (!holder.holder.empty()) {
    freeTries_ = 0;
    return true;
  }
  return ++freeTries_ <= kFreeTriesBeforeTakingWithoutSignIn;
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
