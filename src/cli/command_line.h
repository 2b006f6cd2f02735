#pragma once
// quillet-grab's command line.
#include <optional>
#include <string>
#include <vector>

namespace quillet::cli {

struct CommandLine {
  enum class Mode { kRun, kCheck, kHelp, kVersion };
  Mode mode = Mode::kRun;
  std::string planPath;
  bool json = false;          // one JSON object per event and line
  bool captchaCells = false;  // captcha answers from standard input, no picture drawn
  bool noSound = false;
};

struct CommandLineResult {
  std::optional<CommandLine> line;
  std::string error;  // set when line is empty
};

// Arguments without the program name.
CommandLineResult ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText();

}  // namespace quillet::cli
