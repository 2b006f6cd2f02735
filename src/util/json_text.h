#pragma once
#include <string>
#include <string_view>

namespace quillet {

// A JSON string literal, quotes included, for UTF-8 text: quote, backslash
// and control characters escaped, everything else kept; a byte that is not
// part of well-formed UTF-8 becomes \u00XX, so the output is always valid JSON.
std::string JsonStringFromUtf8(std::string_view utf8);
// The same for program text (GBK), converted to UTF-8 first.
std::string JsonString(std::string_view gbk);

}  // namespace quillet
