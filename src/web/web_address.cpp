#include "web/web_address.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstring>

namespace quillet::web {
namespace {

std::optional<int> PortOf(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) return std::nullopt;
  return port;
}

}  // namespace

std::optional<WebAddress> ParseWebAddress(std::string_view text) {
  WebAddress address;
  std::string_view portText = text;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find("]:");
    if (close == std::string_view::npos) return std::nullopt;
    address.host = std::string(text.substr(1, close - 1));
    portText = text.substr(close + 2);
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.host.c_str(), &v6) != 1) return std::nullopt;
    address.loopback = IN6_IS_ADDR_LOOPBACK(&v6);
  } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
    address.host = std::string(text.substr(0, colon));
    portText = text.substr(colon + 1);
    in_addr v4{};
    if (address.host == "localhost") {
      address.loopback = true;
    } else if (inet_pton(AF_INET, address.host.c_str(), &v4) == 1) {
      address.loopback = (ntohl(v4.s_addr) >> 24) == 127;
    } else {
      return std::nullopt;
    }
  } else {
    address.host = "127.0.0.1";
    address.loopback = true;
  }
  const std::optional<int> port = PortOf(portText);
  if (!port) return std::nullopt;
  address.port = *port;
  return address;
}

std::string UrlHost(const WebAddress& address) {
  return address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
}

std::string PageUrl(const WebAddress& address, bool tls) {
  return std::string(tls ? "https://" : "http://") + UrlHost(address) + ":" + std::to_string(address.port) + "/";
}

}  // namespace quillet::web
