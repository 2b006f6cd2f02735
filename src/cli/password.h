#pragma once
// The account's password: from QUILLET_PASSWORD, else typed on the terminal
// without echo.
#include <optional>
#include <string>

namespace quillet::cli {

struct PasswordResult {
  std::optional<std::string> password;
  std::string error;     // set when there is none
  bool stopped = false;  // the prompt was left because `wakeFd` became readable
};

// `environmentValue` is QUILLET_PASSWORD's value (null when unset); the
// terminal is opened at `terminalPath` (normally /dev/tty) and echo is
// switched off while the password is typed, and restored afterwards, also
// when `wakeFd` (a stop request; -1 for none) ends the prompt early.
PasswordResult ReadPassword(const char* environmentValue, const std::string& account,
                            const std::string& terminalPath = "/dev/tty", int wakeFd = -1);

// Puts back the terminal's echo if a password prompt has it switched off
// (for a program that must leave in the middle of one). Any thread.
void RestoreTerminalOfPasswordPrompt();

}  // namespace quillet::cli
