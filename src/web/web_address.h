#pragma once
// Where the page is served: "[ADDRESS:]PORT" as written after --web or in
// the plan's [web] listen.
#include <optional>
#include <string>
#include <string_view>

namespace quillet::web {

struct WebAddress {
  std::string host;  // numeric IPv4 or IPv6 (without brackets), or "localhost"
  int port = 0;
  bool loopback = false;  // only this machine can reach it
};

// "8765" (loopback), "127.0.0.1:8765", "0.0.0.0:8765", "[::1]:8765",
// "localhost:8765". Nothing for anything else (host names other than
// localhost, a port outside 1-65535).
std::optional<WebAddress> ParseWebAddress(std::string_view text);

// The host as written in a URL: IPv6 in brackets.
std::string UrlHost(const WebAddress& address);
// "http://127.0.0.1:8765/" or with https.
std::string PageUrl(const WebAddress& address, bool tls);

}  // namespace quillet::web
