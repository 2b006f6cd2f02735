#pragma once
#include <string>

#include "util/codepage.h"

namespace quillet::test {

// Program text (GBK) from a UTF-8 literal, for readable test tables.
inline std::string G(std::u8string_view text) { return Gbk(text); }

}  // namespace quillet::test

namespace quillet::test {

// UTF-8 bytes of a literal, as the service sends text.
inline std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

}  // namespace quillet::test
