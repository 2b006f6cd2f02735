#pragma once
// A request and an answer as the service logic sees them, free of the
// HTTP library, so faults and logging can wrap the logic.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillet::sim {

struct SimRequest {
  std::string method;
  std::string path;      // as routed (percent-decoded by the server)
  std::string rawQuery;  // the text after "?", as received
  std::string body;
  std::string cookieHeader;
  std::string clientAddress;    // the address the request was sent from
  std::int64_t receivedMs = 0;  // when it arrived, Unix ms on the service's clock
};

struct SimResponse {
  int status = 200;
  std::string contentType;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // Set-Cookie, Location, ...
};

inline constexpr char kJsonType[] = "application/json;charset=UTF-8";
inline constexpr char kHtmlType[] = "text/html;charset=UTF-8";
inline constexpr char kJpegType[] = "image/jpeg";

}  // namespace quillet::sim
