#include "net/encoding.h"

#include <cstring>

namespace quillet {
namespace {

std::string_view UpToFirstZero(std::string_view bytes) {
  const void* zero = std::memchr(bytes.data(), '\0', bytes.size());
  return zero ? bytes.substr(0, static_cast<const char*>(zero) - bytes.data()) : bytes;
}

bool IsKeptAsIs(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

}  // namespace

// A zero byte converts to a zero byte, so cutting before converting gives the
// same text as converting everything and cutting afterwards.
std::string Utf8BytesToText(std::string_view utf8Bytes) { return GbkFromUtf8(UpToFirstZero(utf8Bytes)); }

std::string TextToUtf8(std::string_view text) { return Utf8FromGbk(UpToFirstZero(text)); }

std::string UrlEncode(std::string_view text, bool keepSafe, bool asUtf8) {
  if (text.empty()) return {};
  std::string utf8;
  std::string_view bytes = UpToFirstZero(text);
  if (asUtf8) {
    utf8 = TextToUtf8(bytes);
    bytes = utf8;
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (keepSafe && IsKeptAsIs(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    }
  }
  return out;
}

}  // namespace quillet
