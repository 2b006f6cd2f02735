#pragma once
// Small codecs the service needs: form bodies and query strings, cookies,
// percent-encoding, base64 and JSON string escaping.
#include <map>
#include <string>
#include <string_view>
#include <vector>

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

// The text as a JSON string literal, quotes included. Control characters
// are escaped; bytes that are not valid UTF-8 become \u00XX so the output
// is always valid JSON.
std::string JsonQuote(std::string_view text);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace quillet::sim
