#include "cli/captcha_answer.h"

#include <algorithm>

#include "util/messages.h"

namespace quillet::cli {

std::optional<std::vector<int>> ParseCaptchaCells(std::string_view line) {
  std::vector<int> cells;
  for (char c : line) {
    if (c == ' ' || c == ',' || c == '\t' || c == '\r') continue;
    if (c < '1' || c > '8') return std::nullopt;
    cells.push_back(c - '0');
  }
  // Digits must stand apart: "25" is not two cells.
  std::size_t digitsInARow = 0;
  for (char c : line) {
    digitsInARow = (c >= '0' && c <= '9') ? digitsInARow + 1 : 0;
    if (digitsInARow > 1) return std::nullopt;
  }
  if (cells.empty()) return std::nullopt;
  std::vector<int> sorted = cells;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return std::nullopt;
  return cells;
}

CaptchaCellsResult ReadCaptchaCells(std::istream& in, std::ostream& prompts, bool interactive) {
  while (true) {
    if (interactive) prompts << _("Captcha cells (1-8, e.g. 2 5): ") << std::flush;
    std::string line;
    if (!std::getline(in, line)) return {{}, _("no captcha answer: the input ended")};
    if (auto cells = ParseCaptchaCells(line)) return {*cells, {}};
    if (!interactive)
      return {{}, Format(_("captcha answer \"%s\" is not cell numbers 1-8 separated by spaces or commas"), line)};
    prompts << _("Write the cells as numbers 1 to 8, each once, separated by spaces or commas.") << "\n";
  }
}

}  // namespace quillet::cli
