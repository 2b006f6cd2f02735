#include "web/web_token.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstddef>

namespace quillet::web {

std::optional<std::string> MakeWebToken() {
  std::array<unsigned char, 16> bytes{};
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    filled += static_cast<std::size_t>(got);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token += kDigits[byte >> 4];
    token += kDigits[byte & 0xf];
  }
  return token;
}

bool AcceptableWebToken(std::string_view token) {
  if (token.size() < 16 || token.size() > 128) return false;
  for (const char c : token) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool SameToken(std::string_view given, std::string_view expected) {
  // Every byte of the expected token is looked at whatever was given; only
  // the length of the given text can show, and it is not secret.
  unsigned difference = given.size() == expected.size() ? 0U : 1U;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const unsigned char a = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    difference |= a ^ static_cast<unsigned char>(expected[i]);
  }
  return difference == 0 && !expected.empty();
}

}  // namespace quillet::web
