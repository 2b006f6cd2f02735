#pragma once
// The plan's text as the TOML library gets it: ASCII only. Debian's toml++
// 3.3 runs into undefined behaviour when it meets some characters beyond
// ASCII where it looks for blanks (its check reaches an "unreachable"
// branch), so the library never sees any. Characters in strings become
// \u or \U escapes (literal strings that hold some become basic strings), so
// their values do not change; in comments they become '?'; anywhere else,
// where TOML does not allow them, and for bytes that are not UTF-8, the text
// is refused with the line. Lines keep their numbers.
#include <string>
#include <string_view>

namespace quillet::cli {

struct AsciiPlanText {
  std::string text;     // when ok
  int line = 0;         // the line of the problem, when not
  std::string problem;  // empty: ok
};

AsciiPlanText ToAsciiPlanText(std::string_view text);

}  // namespace quillet::cli
