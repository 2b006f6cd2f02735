#include "grab/account_gate.h"

namespace quillet {

AccountGate::Pass AccountGate::TakeTurn(const std::stop_token& stop) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait(lock, stop, [this] { return held_ || !busy_; })) return Pass::kStopped;
  if (held_) return Pass::kHeld;
  busy_ = true;
  return Pass::kClear;
}

void AccountGate::Settle(bool leaveTurn, bool unknown) {
  {
    std::lock_guard lock(mutex_);
    if (leaveTurn) busy_ = false;
    if (unknown) held_ = true;
  }
  changed_.notify_all();
}

bool AccountGate::Held() const {
  std::lock_guard lock(mutex_);
  return held_;
}

void AccountGate::Release() {
  std::lock_guard lock(mutex_);
  held_ = false;
}

void AccountGate::NoteOrderId(const std::string& orderId) {
  std::lock_guard lock(mutex_);
  learntOrderIds_.insert(orderId);
}

bool AccountGate::KnowsOrderId(const std::string& orderId) const {
  std::lock_guard lock(mutex_);
  return learntOrderIds_.count(orderId) > 0;
}

}  // namespace quillet
