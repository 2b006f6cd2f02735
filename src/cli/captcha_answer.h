#pragma once
// The captcha answer typed as cell numbers 1-8, one line per picture.
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::cli {

// "2 5", "2,5" or "2, 5" -> {2, 5}. Nothing for an empty line, a number
// outside 1-8, a cell named twice or any other character.
std::optional<std::vector<int>> ParseCaptchaCells(std::string_view line);

struct CaptchaCellsResult {
  std::vector<int> cells;
  std::string error;  // set when there is no answer
};

// Reads one answer. On a terminal (`interactive`) a bad line is explained
// and asked again; from a pipe it is an error, as is the end of input.
CaptchaCellsResult ReadCaptchaCells(std::istream& in, std::ostream& prompts, bool interactive);

}  // namespace quillet::cli
