#include "faults.h"

namespace quillet::sim {

FaultPicker::FaultPicker(const Options& options)
    : rate_(options.faultRate), kinds_(options.faults), rng_(HashText(options.seed, "faults")) {
  if (kinds_.empty()) {
    kinds_ = {FaultKind::kDelay,   FaultKind::kBadGateway, FaultKind::kEmpty, FaultKind::kTruncated,
              FaultKind::kGarbage, FaultKind::kDrop,       FaultKind::kBusy};
  }
}

std::optional<FaultKind> FaultPicker::Pick() {
  if (rate_ <= 0) return std::nullopt;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!rng_.Chance(rate_)) return std::nullopt;
  return kinds_[rng_.Below(kinds_.size())];
}

int FaultPicker::DelayMs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return rng_.Between(0, 3000);
}

std::string FaultPicker::GarbageBytes() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string bytes(static_cast<std::size_t>(rng_.Between(16, 512)), '\0');
  for (char& c : bytes) c = static_cast<char>(rng_.Below(256));
  return bytes;
}

std::size_t FaultPicker::CutPoint(std::size_t length) {
  if (length < 2) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  return 1 + rng_.Below(length - 1);
}

}  // namespace quillet::sim
