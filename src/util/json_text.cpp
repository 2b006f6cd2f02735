#include "util/json_text.h"

#include "util/codepage.h"
#include "util/utf8.h"

namespace quillet {

std::string JsonStringFromUtf8(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(utf8.size() + 2);
  out.push_back('"');
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = Utf8SequenceLength(utf8, i);
    if (length > 1) {
      out.append(utf8.substr(i, length));
      i += length;
      continue;
    }
    const auto byte = static_cast<unsigned char>(utf8[i++]);
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        // A control character, or a byte that is not UTF-8 (kept as the
        // code point of the same number, so the output stays valid JSON).
        if (byte < 0x20 || byte == 0x7F || length == 0) {
          out += "\\u00";
          out.push_back(kHex[byte >> 4]);
          out.push_back(kHex[byte & 15]);
        } else {
          out.push_back(static_cast<char>(byte));
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string JsonString(std::string_view gbk) { return JsonStringFromUtf8(Utf8FromGbk(gbk)); }

}  // namespace quillet
