#include "fleet/redis_url.h"

#include <charconv>
#include <cstdlib>

#include "util/text.h"

namespace quillet::fleet {
namespace {

std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::optional<int> NumberIn(std::string_view text, int lowest, int highest) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) {
    return std::nullopt;
  }
  return value;
}

bool ValidHostName(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  for (char c : host) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool ValidIpv6(std::string_view host) {
  if (host.empty() || host.size() > 45) return false;
  for (char c : host) {
    if (HexDigitValue(c) < 0 && c != ':' && c != '.') return false;
  }
  return true;
}

RedisUrlResult Problem(RedisUrlProblem problem) { return {std::nullopt, problem}; }

}  // namespace

RedisUrlResult ParseRedisUrl(std::string_view url, std::string_view fallbackPassword) {
  constexpr std::string_view kScheme = "redis://";
  constexpr std::string_view kTlsScheme = "rediss://";
  if (url.substr(0, kTlsScheme.size()) == kTlsScheme) return Problem(RedisUrlProblem::kTlsUnavailable);
  if (url.substr(0, kScheme.size()) != kScheme) return Problem(RedisUrlProblem::kNotRedis);
  std::string_view rest = url.substr(kScheme.size());

  RedisAddress address;
  std::string_view path;
  if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
    path = rest.substr(slash + 1);
    rest = rest.substr(0, slash);
  }
  // The password may hold "@" only percent-encoded; the last "@" ends it.
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
    const std::string_view credentials = rest.substr(0, at);
    rest = rest.substr(at + 1);
    const std::size_t colon = credentials.find(':');
    const auto user = PercentDecoded(credentials.substr(0, colon));
    const auto password =
        PercentDecoded(colon == std::string_view::npos ? std::string_view() : credentials.substr(colon + 1));
    if (!user || !password) return Problem(RedisUrlProblem::kBadEscape);
    // "redis://secret@host" is a password alone, as redis-cli reads it.
    if (colon == std::string_view::npos) {
      address.password = *user;
    } else {
      address.user = *user;
      address.password = *password;
    }
  }

  std::string_view portText;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return Problem(RedisUrlProblem::kBadHost);
    const std::string_view host = rest.substr(1, close - 1);
    if (!ValidIpv6(host)) return Problem(RedisUrlProblem::kBadHost);
    address.host = std::string(host);
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return Problem(RedisUrlProblem::kBadHost);
      portText = after.substr(1);
      if (portText.empty()) return Problem(RedisUrlProblem::kBadPort);
    }
  } else {
    const std::size_t colon = rest.find(':');
    const std::string_view host = rest.substr(0, colon);
    if (!ValidHostName(host)) return Problem(RedisUrlProblem::kBadHost);
    address.host = std::string(host);
    if (colon != std::string_view::npos) {
      portText = rest.substr(colon + 1);
      if (portText.empty()) return Problem(RedisUrlProblem::kBadPort);
    }
  }
  if (!portText.empty()) {
    const auto port = NumberIn(portText, 1, 65535);
    if (!port) return Problem(RedisUrlProblem::kBadPort);
    address.port = *port;
  }
  if (!path.empty()) {
    const auto database = NumberIn(path, 0, 1'000'000);
    if (!database) return Problem(RedisUrlProblem::kBadDatabase);
    address.database = *database;
  }
  if (address.password.empty()) address.password = std::string(fallbackPassword);
  return {std::move(address), RedisUrlProblem::kNone};
}

std::string RedisPasswordFromEnvironment() {
  const char* value = std::getenv("QUILLET_REDIS_PASSWORD");
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace quillet::fleet
