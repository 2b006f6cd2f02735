#include "cli/password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "cli/interruptible_input.h"

#include "util/messages.h"

namespace quillet::cli {
namespace {

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The terminal settings to put back while a prompt has echo off.
struct QuietTerminal {
  std::mutex mutex;
  int fd = -1;
  termios saved{};
};

QuietTerminal& CurrentQuietTerminal() {
  static QuietTerminal quiet;
  return quiet;
}

void RestoreQuietTerminal() {
  QuietTerminal& quiet = CurrentQuietTerminal();
  std::lock_guard lock(quiet.mutex);
  if (quiet.fd < 0) return;
  ::tcsetattr(quiet.fd, TCSAFLUSH, &quiet.saved);
  quiet.fd = -1;
}

struct LineRead {
  std::optional<std::string> line;  // nothing at end of input
  bool stopped = false;
};

// One line from the terminal, without its line end.
LineRead ReadLine(int fd, int wakeFd) {
  std::string line;
  char c = 0;
  while (true) {
    if (!WaitReadable(fd, wakeFd)) return {std::nullopt, true};
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {line.empty() ? std::nullopt : std::optional<std::string>(line), false};
    if (c == '\n' || c == '\r') return {line, false};
    line.push_back(c);
  }
}

}  // namespace

void RestoreTerminalOfPasswordPrompt() { RestoreQuietTerminal(); }

PasswordResult ReadPassword(const char* environmentValue, const std::string& account, const std::string& terminalPath,
                            int wakeFd) {
  if (environmentValue != nullptr && *environmentValue != '\0') return {std::string(environmentValue), {}};
  const int fd = ::open(terminalPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return {std::nullopt, _("no password: set QUILLET_PASSWORD or run quillet-grab on a terminal")};
  }
  termios saved{};
  const bool isTerminal = ::tcgetattr(fd, &saved) == 0;
  if (isTerminal) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL));
    quiet.c_lflag |= ICANON;
    QuietTerminal& current = CurrentQuietTerminal();
    std::lock_guard lock(current.mutex);
    current.fd = fd;
    current.saved = saved;
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  WriteAll(fd, Format(_("Password for %s: "), account));
  const LineRead read = ReadLine(fd, wakeFd);
  if (isTerminal) RestoreQuietTerminal();
  WriteAll(fd, "\n");
  ::close(fd);
  if (read.stopped) return {std::nullopt, _("the password prompt was stopped"), true};
  if (!read.line || read.line->empty()) return {std::nullopt, _("no password was typed")};
  return {*read.line, {}};
}

}  // namespace quillet::cli
