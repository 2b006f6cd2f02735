#pragma once
// A fixed number of places for the pages that follow the run live; a page
// that comes when every place is taken is refused, and the others go on.
#include <cstddef>
#include <mutex>

namespace quillet::web {

class ClientSlots {
 public:
  explicit ClientSlots(std::size_t places) : places_(places) {}

  bool TryTake() {
    std::lock_guard lock(mutex_);
    if (taken_ >= places_) return false;
    ++taken_;
    return true;
  }
  void Give() {
    std::lock_guard lock(mutex_);
    if (taken_ > 0) --taken_;
  }
  std::size_t Taken() const {
    std::lock_guard lock(mutex_);
    return taken_;
  }

 private:
  const std::size_t places_;
  mutable std::mutex mutex_;
  std::size_t taken_ = 0;
};

}  // namespace quillet::web
