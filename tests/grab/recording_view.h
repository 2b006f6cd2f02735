#pragma once
// GrabEvents for tests: fixed task rows for the wishes, and a record of what
// the workers told. Safe to call from any thread.
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "grab/grab_events.h"
#include "grab/order_wish.h"
#include "util/text.h"

namespace quillet::test {

using TaskRow = std::array<std::string, 8>;

class RecordingView : public GrabEvents {
 public:
  explicit RecordingView(std::vector<TaskRow> rows = {}) : rows_(std::move(rows)) {}

  // The wishes of the rows, as a start takes them.
  std::vector<OrderWish> Wishes() const {
    std::vector<OrderWish> wishes;
    for (const TaskRow& row : rows_) wishes.push_back(WishFromTaskRow(row));
    return wishes;
  }

  void OnGrabAttempt(std::size_t, std::uint32_t, const std::string& caption) override {
    std::lock_guard lock(mutex_);
    caption_ = caption;
    ++captionCount_;
  }
  void OnGrabLogLine(const std::string& text) override {
    {
      std::lock_guard lock(mutex_);
      log_ += text;
    }
    changed_.notify_all();
  }
  // The window's rule: the start button comes back after a booking of
  // seat type "1" and at every stop.
  void OnOrderBooked(const OrderReport& order) override {
    std::lock_guard lock(mutex_);
    booked_.push_back(order);
    if (order.seatType == "1") startButtonCalls_.push_back(true);
  }
  void OnOrderNeedsManualCheck(const OrderReport& order) override {
    std::lock_guard lock(mutex_);
    manual_.push_back(order);
  }
  void OnGrabStopped() override {
    std::lock_guard lock(mutex_);
    startButtonCalls_.push_back(true);
  }

  std::string Log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }
  std::string Caption() const {
    std::lock_guard lock(mutex_);
    return caption_;
  }
  int CaptionCount() const {
    std::lock_guard lock(mutex_);
    return captionCount_;
  }
  std::vector<bool> StartButtonCalls() const {
    std::lock_guard lock(mutex_);
    return startButtonCalls_;
  }
  std::vector<OrderReport> Booked() const {
    std::lock_guard lock(mutex_);
    return booked_;
  }
  std::vector<OrderReport> ManualChecks() const {
    std::lock_guard lock(mutex_);
    return manual_;
  }
  // Waits until the log holds `text` somewhere; false on timeout.
  bool WaitForLog(const std::string& text, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return FindText(log_, text) != kNotFound; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  const std::vector<TaskRow> rows_;
  std::string caption_;
  int captionCount_ = 0;
  std::string log_;
  std::vector<bool> startButtonCalls_;
  std::vector<OrderReport> booked_;
  std::vector<OrderReport> manual_;
};

}  // namespace quillet::test
