#pragma once
// Bridges between program text (GBK) and the service's UTF-8.
#include <string>
#include <string_view>

#include "util/codepage.h"

namespace quillet {

// A response body (UTF-8 bytes) as program text; cut at the first zero byte.
std::string Utf8BytesToText(std::string_view utf8Bytes);
// Program text to UTF-8 bytes.
std::string TextToUtf8(std::string_view text);
// Percent-encoding; keepSafe keeps A-Z a-z 0-9 '-' '.', asUtf8 encodes the UTF-8 form.
std::string UrlEncode(std::string_view text, bool keepSafe = true, bool asUtf8 = true);

}  // namespace quillet
