#pragma once
// Chooses which answers get a fault and what the fault looks like. A fault
// other than a delay replaces the answer: the request is then not carried
// out at all, so the client never misses a booking it was told had failed.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "rng.h"

namespace quillet::sim {

class FaultPicker {
 public:
  explicit FaultPicker(const Options& options);

  std::optional<FaultKind> Pick();
  int DelayMs();                             // 0 to 3000
  std::string GarbageBytes();                // 16 to 512 random bytes
  std::size_t CutPoint(std::size_t length);  // 1 to length - 1

 private:
  double rate_;
  std::vector<FaultKind> kinds_;
  std::mutex mutex_;
  Rng rng_;
};

}  // namespace quillet::sim
