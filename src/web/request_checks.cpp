#include "web/request_checks.h"

#include <array>

namespace quillet::web {

bool HostAcceptable(std::string_view hostHeader, const WebAddress& address, int port) {
  const std::string suffix = ":" + std::to_string(port);
  if (hostHeader.size() <= suffix.size() || hostHeader.substr(hostHeader.size() - suffix.size()) != suffix)
    return false;
  const std::string_view host = hostHeader.substr(0, hostHeader.size() - suffix.size());
  if (host == UrlHost(address)) return true;
  if (!address.loopback) return true;  // the token guards it
  return host == "localhost" || host == "[::1]" || (host.size() > 4 && host.substr(0, 4) == "127.");
}

std::optional<std::string> CookieValue(std::string_view cookieHeader, std::string_view name) {
  std::size_t start = 0;
  while (start < cookieHeader.size()) {
    std::size_t end = cookieHeader.find(';', start);
    if (end == std::string_view::npos) end = cookieHeader.size();
    std::string_view pair = cookieHeader.substr(start, end - start);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name) return std::string(pair.substr(equals + 1));
    start = end + 1;
  }
  return std::nullopt;
}

bool CaptchaCellsText(std::string_view text) {
  std::array<bool, 8> seen{};
  bool any = false;
  bool afterCell = false;
  for (const char c : text) {
    if (c >= '1' && c <= '8') {
      if (afterCell) return false;  // "25": two cells need a separator
      const auto cell = static_cast<std::size_t>(c - '1');
      if (seen[cell]) return false;
      seen[cell] = true;
      any = true;
      afterCell = true;
    } else if (c == ',' || c == ' ') {
      afterCell = false;
    } else {
      return false;
    }
  }
  return any;
}

}  // namespace quillet::web
