#include "cli/toml_guard.h"

#include <cstdint>
#include <cstdio>

#include "util/messages.h"

namespace quillet::cli {
namespace {

// Decodes the UTF-8 character at text[at] (a lead byte beyond ASCII); 0 for
// a byte that does not start a valid character. Sets `length`.
char32_t DecodeUtf8(std::string_view text, std::size_t at, std::size_t& length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t count = 0;
  char32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    count = 2, code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    count = 3, code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    count = 4, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (at + count > text.size()) return 0;
  for (std::size_t i = 1; i < count; ++i) {
    if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(at + i) & 0x3Fu);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[count] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  length = count;
  return code;
}

std::string Escape(char32_t code) {
  char text[16];
  if (code <= 0xFFFF) {
    std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(code));
  } else {
    std::snprintf(text, sizeof text, "\\U%08X", static_cast<unsigned>(code));
  }
  return text;
}

bool HasNonAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

}  // namespace

AsciiPlanText ToAsciiPlanText(std::string_view text) {
  enum class In { kCode, kComment, kBasic, kMultiBasic };
  AsciiPlanText result;
  std::string& out = result.text;
  out.reserve(text.size() + text.size() / 2);
  In in = In::kCode;
  int line = 1;
  const auto startsWith = [&](std::size_t at, std::string_view what) { return text.substr(at, what.size()) == what; };
  const auto refuse = [&](const char* problem) {
    result.text.clear();
    result.line = line;
    result.problem = problem;
    return result;
  };

  int multiFrom = 0;  // the line where the open multi-line string began
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      std::size_t length = 0;
      const char32_t code = DecodeUtf8(text, i, length);
      if (code == 0) return refuse(_("not valid TOML: the text is not UTF-8"));
      if (in == In::kCode) return refuse(_("not valid TOML: a character beyond ASCII outside a string or comment"));
      out += in == In::kComment ? std::string("?") : Escape(code);
      i += length - 1;
      continue;
    }
    if (c == '\n') {
      // The parser would only say that a line break is a control character.
      if (in == In::kBasic) return refuse(_("not valid TOML: a string in \"...\" is not closed on its line"));
      ++line;
      if (in == In::kComment) in = In::kCode;
      out += c;
      continue;
    }
    switch (in) {
      case In::kCode:
        if (c == '#') {
          in = In::kComment;
        } else if (startsWith(i, "\"\"\"")) {
          out += "\"\"";
          i += 2;
          in = In::kMultiBasic;
          multiFrom = line;
        } else if (c == '"') {
          in = In::kBasic;
        } else if (c == '\'') {
          // A literal string: kept as it is when it is all ASCII, else
          // written as a basic string with the same value.
          const bool multi = startsWith(i, "'''");
          const std::string_view quote = multi ? "'''" : "'";
          std::size_t end = text.find(quote, i + quote.size());
          if (!multi) {
            const std::size_t lineEnd = text.find('\n', i + 1);
            if (lineEnd != std::string_view::npos && (end == std::string_view::npos || end > lineEnd)) {
              end = std::string_view::npos;
            }
          } else if (end != std::string_view::npos) {
            // Up to two more quotes belong to the text.
            for (int extra = 0; extra < 2 && end + 3 < text.size() && text[end + 3] == '\''; ++extra) ++end;
          }
          if (end == std::string_view::npos) {
            return refuse(multi ? _("not valid TOML: a string in '''...''' is never closed")
                                : _("not valid TOML: a string in '...' is not closed on its line"));
          }
          const std::string_view body = text.substr(i + quote.size(), end - i - quote.size());
          if (!HasNonAscii(body)) {
            for (const char b : body) line += b == '\n' ? 1 : 0;
            out.append(text.substr(i, end + quote.size() - i));
          } else {
            const std::string_view basicQuote = multi ? "\"\"\"" : "\"";
            out += basicQuote;
            for (std::size_t k = 0; k < body.size(); ++k) {
              const char b = body[k];
              if (static_cast<unsigned char>(b) >= 0x80) {
                std::size_t length = 0;
                const char32_t code = DecodeUtf8(body, k, length);
                if (code == 0) return refuse(_("not valid TOML: the text is not UTF-8"));
                out += Escape(code);
                k += length - 1;
              } else if (b == '\\' || b == '"') {
                out += '\\';
                out += b;
              } else {
                if (b == '\n') ++line;
                out += b;
              }
            }
            out += basicQuote;
          }
          i = end + quote.size() - 1;
          continue;
        }
        break;
      case In::kComment:
        break;
      case In::kBasic:
      case In::kMultiBasic:
        if (c == '\\') {
          // An escaped quote or backslash does not end the string.
          if (i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            return refuse(_("not valid TOML: a backslash before a character beyond ASCII"));
          }
          if (i + 1 < text.size() && text[i + 1] != '\n') {
            out += c;
            out += text[++i];
            continue;
          }
        } else if (in == In::kBasic && c == '"') {
          in = In::kCode;
        } else if (in == In::kMultiBasic && startsWith(i, "\"\"\"")) {
          // Up to two more quotes may close the string as part of its text.
          out += "\"\"";
          i += 2;
          while (i + 1 < text.size() && text[i + 1] == '"') {
            out += '"';
            ++i;
          }
          in = In::kCode;
        }
        break;
    }
    out += c;
  }
  if (in == In::kMultiBasic) {
    line = multiFrom;
    return refuse(_("not valid TOML: a string in \"\"\"...\"\"\" is never closed"));
  }
  if (in == In::kBasic) return refuse(_("not valid TOML: a string in \"...\" is not closed on its line"));
  return result;
}

}  // namespace quillet::cli
