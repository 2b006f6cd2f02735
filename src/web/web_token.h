#pragma once
// The secret that lets a browser on another machine use the page.
#include <optional>
#include <string>
#include <string_view>

namespace quillet::web {

// 32 hexadecimal digits from the system's random source; nothing when it
// cannot be read.
std::optional<std::string> MakeWebToken();
// A token given from outside (QUILLET_WEB_TOKEN): 16 to 128 characters of
// letters, digits, '-' and '_', so that it goes into a URL and a cookie as it is.
bool AcceptableWebToken(std::string_view token);
// Compares in a time that does not depend on where the two differ.
bool SameToken(std::string_view given, std::string_view expected);

}  // namespace quillet::web
