#pragma once
// The checks every request to the page passes: where it claims to go, the
// token, the anti-forgery value of changing requests, a captcha answer's form.
#include <optional>
#include <string>
#include <string_view>

#include "web/web_address.h"

namespace quillet::web {

// The cookie that keeps the token after the first visit.
inline constexpr std::string_view kTokenCookie = "quillet_token";
// The header in which the page sends its anti-forgery value back.
inline constexpr std::string_view kFormHeader = "X-Quillet-Form";

// A loopback page answers only requests addressed to this machine by name or
// number: another site's name pointed at 127.0.0.1 must not reach it.
bool HostAcceptable(std::string_view hostHeader, const WebAddress& address, int port);
// The value of `name` in a Cookie header; nothing when it is not there.
std::optional<std::string> CookieValue(std::string_view cookieHeader, std::string_view name);
// "2,5" or "2 5": cells 1-8, each at most once, at least one.
bool CaptchaCellsText(std::string_view text);

}  // namespace quillet::web
