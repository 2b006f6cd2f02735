#pragma once
#include <string>
#include <string_view>

namespace quillet::test {

// A UTF-8 source literal as the bytes notifications carry: Utf8(u8"二等座").
inline std::string Utf8(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace quillet::test
