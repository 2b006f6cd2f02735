#pragma once
#include <string>

namespace quillet {

// What the grab workers need of the window. Every call may come from a worker
// thread; the window side carries the updates over to its own thread and
// answers the two row reads without waiting for it (from a snapshot), so that
// the window thread may join the workers without a deadlock.
class GrabView {
 public:
  virtual ~GrabView() = default;
  virtual int TaskRowCount() = 0;
  virtual std::string TaskCellText(int row, int column) = 0;  // 0-based
  virtual void SetAttemptCaption(const std::string& caption) = 0;
  virtual void AppendLog(const std::string& text) = 0;
  virtual void SetStartButtonEnabled(bool enabled) = 0;
};

}  // namespace quillet
