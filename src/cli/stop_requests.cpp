#include "cli/stop_requests.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>

namespace quillet::cli {

StopRequests::StopRequests(std::function<void()> lastResort, std::chrono::milliseconds exitBound)
    : lastResort_(std::move(lastResort)), exitBound_(exitBound) {
  if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe_[0] = wakePipe_[1] = -1;
}

StopRequests::~StopRequests() {
  if (lastResortTimer_.joinable()) {
    lastResortTimer_.request_stop();
    lastResortTimer_.join();
  }
  for (int fd : wakePipe_) {
    if (fd >= 0) ::close(fd);
  }
}

void StopRequests::Take(int signalNumber) {
  int count = 0;
  {
    std::lock_guard lock(mutex_);
    count = ++count_;
    if (count == 1) first_ = signalNumber;
  }
  // The token first: whoever the pipe wakes finds the stop already requested.
  sources_[std::min(count, kTracked) - 1].request_stop();
  if (count == 1 && wakePipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe_[1], &byte, 1);
  }
  if (count == 2 && lastResort_) {
    lastResortTimer_ = std::jthread([this](std::stop_token cancelled) {
      std::mutex mutex;
      std::condition_variable_any wake;
      std::unique_lock lock(mutex);
      if (wake.wait_for(lock, cancelled, exitBound_, [] { return false; }) || cancelled.stop_requested()) return;
      lastResort_();
    });
  }
}

int StopRequests::Count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

int StopRequests::FirstSignal() const {
  std::lock_guard lock(mutex_);
  return first_;
}

std::stop_token StopRequests::Nth(int n) const { return sources_[std::clamp(n, 1, kTracked) - 1].get_token(); }

const char* SignalName(int signalNumber) {
  switch (signalNumber) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "a signal";
  }
}

}  // namespace quillet::cli
