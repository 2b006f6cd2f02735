#include "net/redirect_policy.h"

#include <curl/curl.h>

#include "net/http_headers.h"

namespace quillet::net {
namespace {

struct Origin {
  std::string scheme;
  std::string host;
  std::string port;
  bool valid = false;
};

Origin OriginOf(const std::string& url) {
  Origin origin;
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return origin;
  auto part = [parsed](CURLUPart which, unsigned flags, std::string& out) {
    char* value = nullptr;
    if (curl_url_get(parsed, which, &value, flags) != CURLUE_OK || value == nullptr) return false;
    out = value;
    curl_free(value);
    return true;
  };
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
    origin.valid = part(CURLUPART_SCHEME, 0, origin.scheme) && part(CURLUPART_HOST, 0, origin.host) &&
                   part(CURLUPART_PORT, CURLU_DEFAULT_PORT, origin.port);
  }
  curl_url_cleanup(parsed);
  return origin;
}

}  // namespace

bool IsFollowedRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool RedirectBecomesGet(long status, const std::string& method) {
  if (status == 303) return method != "HEAD";
  return (status == 301 || status == 302) && method == "POST";
}

bool CookiesMayFollowRedirect(const std::string& fromUrl, const std::string& toUrl) {
  const Origin from = OriginOf(fromUrl);
  const Origin to = OriginOf(toUrl);
  if (!from.valid || !to.valid) return false;
  if (!EqualsIgnoreAsciiCase(from.host, to.host) || from.port != to.port) return false;
  return !(EqualsIgnoreAsciiCase(from.scheme, "https") && !EqualsIgnoreAsciiCase(to.scheme, "https"));
}

CookieHost CookieHostOf(const std::string& url) {
  const Origin origin = OriginOf(url);
  if (!origin.valid) return {};
  std::string host = origin.host;
  for (char& c : host)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return {host, host + ":" + origin.port};
}

}  // namespace quillet::net
