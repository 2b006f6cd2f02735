#include "notify/command_notifier.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include "notify/event_json.h"
#include "notify/texts.h"

extern char** environ;

namespace quillet {

namespace {

using Clock = std::chrono::steady_clock;

DeliveryResult Failed(std::string detail, DeliveryFailure::Kind kind, long number = 0, std::string systemText = {}) {
  return {DeliveryOutcome::kFailed, std::move(detail), DeliveryFailure(kind, number, std::move(systemText))};
}

DeliveryResult CannotStart(int error) {
  return Failed(notify_texts::CannotStart() + std::strerror(error), DeliveryFailure::Kind::kCannotStart, 0,
                std::strerror(error));
}

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// Writes as much of `data` as the child takes before the deadline.
bool WriteAll(int fd, std::string_view data, Clock::time_point deadline, const std::stop_token& stop) {
  while (!data.empty()) {
    if (stop.stop_requested() || Clock::now() >= deadline) return false;
    pollfd ready{fd, POLLOUT, 0};
    if (::poll(&ready, 1, 50) < 0 && errno != EINTR) return false;
    if (ready.revents & (POLLERR | POLLHUP)) return false;
    if (!(ready.revents & POLLOUT)) continue;
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;  // EPIPE: the child closed its input
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Waits for the child until the deadline or a stop; kills its process group
// then. Always reaps it.
std::optional<int> AwaitExit(pid_t child, Clock::time_point deadline, const std::stop_token& stop) {
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return status;
    if (done < 0 && errno != EINTR) return std::nullopt;
    if (stop.stop_requested() || Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(-child, SIGKILL);
  ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return std::nullopt;
}

// Writing to a pipe whose reader has gone must give EPIPE, not end the
// program; SIGPIPE is blocked on this thread only (it is the notifier's own).
void BlockSigpipeOnThisThread() {
  sigset_t pipeOnly;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeOnly, nullptr);
}

// A SIGPIPE raised by our own write stays pending while blocked; take it.
void DiscardPendingSigpipe() {
  sigset_t pipeOnly;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  const timespec now{0, 0};
  while (::sigtimedwait(&pipeOnly, nullptr, &now) == SIGPIPE) {
  }
}

// This process's environment without the withheld variables.
std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& withheld) {
  std::vector<std::string> kept;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view name = text.substr(0, text.find('='));
    bool secret = false;
    for (const std::string& variable : withheld) secret = secret || name == variable;
    if (!secret) kept.emplace_back(text);
  }
  return kept;
}

}  // namespace

CommandNotifier::CommandNotifier(CommandOptions options) : options_(std::move(options)) {}

DeliveryResult CommandNotifier::Deliver(const NotifyEvent& event, std::stop_token stop) {
  if (options_.argv.empty() || options_.argv.front().empty()) return {DeliveryOutcome::kSkipped, {}};
  BlockSigpipeOnThisThread();

  int input[2];
  if (::pipe2(input, O_CLOEXEC) != 0) return CannotStart(errno);
  Fd readEnd(input[0]);
  Fd writeEnd(input[1]);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, readEnd.Get(), STDIN_FILENO);
  // Its output would mix with ours (quillet-grab prints JSON lines on stdout).
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t pipeOnly;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &pipeOnly);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  for (std::string& arg : options_.argv) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = EnvironmentWithout(options_.withheldVariables);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  pid_t child = 0;
  const int spawnError = ::posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawnError != 0) return CannotStart(spawnError);
  readEnd.Close();

  const auto deadline = Clock::now() + options_.timeLimit;
  ::fcntl(writeEnd.Get(), F_SETFL, O_NONBLOCK);
  // A program that exits without reading all of it has still run.
  WriteAll(writeEnd.Get(), EventJson(event) + "\n", deadline, stop);
  writeEnd.Close();
  DiscardPendingSigpipe();

  const std::optional<int> status = AwaitExit(child, deadline, stop);
  if (!status) return Failed(notify_texts::TimedOut(), DeliveryFailure::Kind::kTimedOut);
  if (WIFSIGNALED(*status)) {
    return Failed(notify_texts::KilledBySignal() + std::to_string(WTERMSIG(*status)),
                  DeliveryFailure::Kind::kKilledBySignal, WTERMSIG(*status));
  }
  const int code = WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
  if (code != 0) {
    return Failed(notify_texts::ExitStatusPrefix() + std::to_string(code), DeliveryFailure::Kind::kExitStatus, code);
  }
  return {DeliveryOutcome::kDelivered, {}};
}

}  // namespace quillet
