#pragma once
// One synchronous HTTP(S) exchange over libcurl.
#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>

#include "net/cookies.h"
#include "net/exchange_outcome.h"

namespace quillet {

inline constexpr char kDefaultHeaderBlock[] =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
    "Content-Type: application/x-www-form-urlencoded";

// How one exchange is carried out; the defaults are the program's.
struct ExchangeOptions {
  std::stop_token stop;                            // aborts the exchange within ~100 ms
  std::string extraCaFile;                         // extra CA bundle besides the system store
  std::chrono::milliseconds timeout{30000};        // longest time without progress (connect, send, receive)
  std::chrono::milliseconds deadline{15000};       // the whole exchange, redirects included
  std::size_t maxBodyBytes = 32u * 1024u * 1024u;  // a larger answer is a failed exchange
  bool reuseConnections = true;                    // keep connections of this thread alive
  // The local address (or interface name) the connection leaves from, as
  // libcurl's CURLOPT_INTERFACE takes it; empty: whichever the system picks.
  std::string sourceAddress;
};

struct HttpExchangeResult {
  ExchangeOutcome outcome = ExchangeOutcome::kOther;
  long status = 0;   // of the last answer; 0 unless kOk
  std::string body;  // as received; empty unless kOk
  // The URL (UTF-8) of the chain's last request: where the answer came from
  // after any redirects, or the hop that failed.
  std::string url;
  bool Ok() const { return outcome == ExchangeOutcome::kOk; }
};

// One request as a value. An empty `method` is a GET and an empty
// `headerBlock` the default block.
struct HttpRequest {
  std::string url;  // program text
  std::string method = "GET";
  std::string bodyText;                           // program text, sent as UTF-8
  std::string bodyBytes;                          // sent as they are, instead of bodyText, when not empty
  std::string headerBlock = kDefaultHeaderBlock;  // "Name: value" lines joined by "\r\n"
  bool followRedirects = true;
  std::string proxy;  // empty: none
  ExchangeOptions options;

  std::string Method() const { return method.empty() ? std::string("GET") : method; }
  std::string HeaderBlock() const { return headerBlock.empty() ? std::string(kDefaultHeaderBlock) : headerBlock; }
};

// Returns what happened and the final answer's status and body. The jar is sent as the Cookie header (first) and the
// answer's Set-Cookie pairs are merged into it. Program text (URL, text body,
// header values) leaves as UTF-8; bodyBytes go as they are. The HTTP status
// is not judged. Certificates are verified. Redirects (up to ten) are
// followed when followRedirects. The jar's text belongs to the host and
// port of `url`: a hop there (never from https down to http) carries it
// with what the answers so far have set. A hop to another host or port
// carries only the cookies that host set, kept apart in the jar, and what
// it sets stays there: it never reaches the service or replaces its
// cookies. A cookie whose Domain attribute does not cover the host that set
// it is refused. Every answer's cookies are kept, also when a later step of
// the exchange fails.
HttpExchangeResult SendHttpRequest(const HttpRequest& request, CookieJar& cookieJar);

}  // namespace quillet
