#pragma once
// A GrabView for tests: fixed task rows, and a record of what the workers
// showed. Safe to call from any thread.
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "grab/grab_view.h"
#include "util/text.h"

namespace quillet::test {

using TaskRow = std::array<std::string, 8>;

class RecordingView : public GrabView {
 public:
  explicit RecordingView(std::vector<TaskRow> rows = {}) : rows_(std::move(rows)) {}

  int TaskRowCount() override {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
  }
  std::string TaskCellText(int row, int column) override {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= 8) return {};
    return rows_[row][column];
  }
  void SetAttemptCaption(const std::string& caption) override {
    std::lock_guard lock(mutex_);
    caption_ = caption;
    ++captionCount_;
  }
  void AppendLog(const std::string& text) override {
    {
      std::lock_guard lock(mutex_);
      log_ += text;
    }
    changed_.notify_all();
  }
  void SetStartButtonEnabled(bool enabled) override {
    std::lock_guard lock(mutex_);
    startButtonCalls_.push_back(enabled);
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
  // Waits until the log holds `text` somewhere; false on timeout.
  bool WaitForLog(const std::string& text, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return FindText(log_, text) != kNotFound; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TaskRow> rows_;
  std::string caption_;
  int captionCount_ = 0;
  std::string log_;
  std::vector<bool> startButtonCalls_;
};

}  // namespace quillet::test
