#include "cli/password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

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

// One line from the terminal, without its line end; nothing at end of input.
std::optional<std::string> ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (true) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
    if (c == '\n' || c == '\r') return line;
    line.push_back(c);
  }
}

}  // namespace

PasswordResult ReadPassword(const char* environmentValue, const std::string& account, const std::string& terminalPath) {
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
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  WriteAll(fd, Format(_("Password for %s: "), account));
  const std::optional<std::string> line = ReadLine(fd);
  if (isTerminal) ::tcsetattr(fd, TCSAFLUSH, &saved);
  WriteAll(fd, "\n");
  ::close(fd);
  if (!line || line->empty()) return {std::nullopt, _("no password was typed")};
  return {*line, {}};
}

}  // namespace quillet::cli
