#pragma once
// GrabEvents for tests: fixed task rows for the wishes, and a record of what
// the workers told. The journal holds one line per start and per order that
// ended a worker ("started", "booked <date> <train> <names>", "manual ...",
// names joined by ","). Safe to call from any thread.
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "grab/grab_events.h"
#include "grab/order_wish.h"
#include "ui/order_form.h"
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

  void OnGrabStarted(const GrabStart&) override { Journal("started\n"); }
  void OnGrabAttempt(const GrabAttempt& attempt) override {
    std::lock_guard lock(mutex_);
    lastAttempt_ = attempt;
    ++attemptCount_;
  }
  void OnOrderBooked(const OrderReport& order) override {
    {
      std::lock_guard lock(mutex_);
      booked_.push_back(order);
    }
    Journal(JournalLine("booked", order));
  }
  void OnOrderNeedsManualCheck(const OrderReport& order) override {
    {
      std::lock_guard lock(mutex_);
      manual_.push_back(order);
    }
    Journal(JournalLine("manual", order));
  }
  void OnOrderAbandoned(const OrderReport& order) override {
    std::lock_guard lock(mutex_);
    abandoned_.push_back(order);
  }
  void OnGrabStopped(const GrabStop&) override {
    std::lock_guard lock(mutex_);
    ++stops_;
  }

  static std::string JournalLine(const std::string& what, const OrderReport& order) {
    std::string names;
    for (const std::string& name : order.passengers) names += (names.empty() ? "" : ",") + name;
    return what + " " + order.date + " " + order.train + " " + names + "\n";
  }

  std::string Log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }
  // The last attempt told, and how many were.
  GrabAttempt LastAttempt() const {
    std::lock_guard lock(mutex_);
    return lastAttempt_;
  }
  int AttemptCount() const {
    std::lock_guard lock(mutex_);
    return attemptCount_;
  }
  int Stops() const {
    std::lock_guard lock(mutex_);
    return stops_;
  }
  std::vector<OrderReport> Abandoned() const {
    std::lock_guard lock(mutex_);
    return abandoned_;
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
  void Journal(const std::string& line) {
    {
      std::lock_guard lock(mutex_);
      log_ += line;
    }
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  const std::vector<TaskRow> rows_;
  GrabAttempt lastAttempt_;
  int attemptCount_ = 0;
  int stops_ = 0;
  std::string log_;
  std::vector<OrderReport> abandoned_;
  std::vector<OrderReport> booked_;
  std::vector<OrderReport> manual_;
};

}  // namespace quillet::test
