#pragma once
// Small codecs the service needs: form bodies and query strings, cookies,
// percent-encoding and base64. JSON strings (JsonStringFromUtf8) and UTF-8
// checks (IsValidUtf8) are the program's own, from util.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "util/json_text.h"
#include "util/utf8.h"

namespace quillet::sim {

// Form or query text parsed leniently: split at "&", key and value at the
// first "=", both percent-decoded with "+" as a space. A piece without "="
// is a key with an empty value. The first occurrence of a key wins.
using FormFields = std::map<std::string, std::string>;
FormFields ParseForm(std::string_view text);

// Looks a field up; empty when missing.
std::string Field(const FormFields& fields, const std::string& key);

// Percent-decoding; a "%" not followed by two hex digits stays as it is.
std::string PercentDecode(std::string_view text, bool plusAsSpace);
// Encodes everything but ASCII letters, digits and the marks in keepMarks as
// %XX (upper case). The default keeps the unreserved marks of URLs.
std::string PercentEncode(std::string_view bytes, std::string_view keepMarks = "-._~");

// The name=value pairs of a Cookie header, in order.
std::vector<std::pair<std::string, std::string>> ParseCookieHeader(std::string_view header);

std::string Base64Encode(std::string_view bytes);
// False when the text is not base64.
bool Base64Decode(std::string_view text, std::string& bytes);

}  // namespace quillet::sim
