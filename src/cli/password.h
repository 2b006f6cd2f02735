#pragma once
// The account's password: from QUILLET_PASSWORD, else typed on the terminal
// without echo.
#include <optional>
#include <string>

namespace quillet::cli {

struct PasswordResult {
  std::optional<std::string> password;
  std::string error;  // set when there is none
};

// `environmentValue` is QUILLET_PASSWORD's value (null when unset); the
// terminal is opened at `terminalPath` (normally /dev/tty) and echo is
// switched off while the password is typed, and restored afterwards.
PasswordResult ReadPassword(const char* environmentValue, const std::string& account,
                            const std::string& terminalPath = "/dev/tty");

}  // namespace quillet::cli
