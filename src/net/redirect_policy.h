#pragma once
// How the exchange follows redirects, and where the session cookies may go.
#include <string>

namespace quillet::net {

// 301, 302, 303, 307 and 308 are followed (when they name a target).
bool IsFollowedRedirect(long status);

// As browsers do: 303 turns everything but HEAD into GET, 301 and 302 turn a
// POST into a GET; 307 and 308 repeat the request as it was.
bool RedirectBecomesGet(long status, const std::string& method);

// The Cookie header may follow a redirect from fromUrl to toUrl only when
// both name the same host (any letter case) and port, and never from https
// down to plain http. An unparsable URL gets no cookies.
bool CookiesMayFollowRedirect(const std::string& fromUrl, const std::string& toUrl);

// The host of a URL (lower case) and its key among the hosts whose cookies
// are kept apart: "host:port". Both empty for an unparsable URL.
struct CookieHost {
  std::string host;
  std::string key;
};
CookieHost CookieHostOf(const std::string& url);

}  // namespace quillet::net
