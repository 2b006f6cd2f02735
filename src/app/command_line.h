#pragma once
// The program's command line: where the booking service is, help and version.
#include <string>
#include <vector>

#include "app/app_state.h"

namespace quillet {

struct CommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  AppSettings settings;
  std::string error;  // for Action::Error
};

// args excludes the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string HelpText(const std::string& programName);
std::string VersionText();

}  // namespace quillet
