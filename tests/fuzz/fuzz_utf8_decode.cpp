// Decoding of arbitrary bytes as a service answer, and the way back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "net/encoding.h"
#include "util/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = quillet::Utf8BytesToText(bytes);
  // The table-driven conversions give exactly iconv's bytes.
  quillet::fuzz::Require(quillet::GbkFromUtf8(bytes) == quillet::codepage_detail::GbkFromUtf8ByIconv(bytes));
  quillet::fuzz::Require(quillet::Utf8FromGbk(bytes) == quillet::codepage_detail::Utf8FromGbkByIconv(bytes));
  // Program text never holds a zero byte: the answer is cut at its first one.
  quillet::fuzz::Require(text.find('\0') == std::string::npos);
  const std::string utf8 = quillet::TextToUtf8(text);
  quillet::UrlEncode(text);
  // Text decoded from valid UTF-8 without a zero byte makes the same UTF-8 again.
  if (bytes.find('\0') == std::string_view::npos && quillet::Utf8BytesToText(utf8) != text) __builtin_trap();
  return 0;
}
