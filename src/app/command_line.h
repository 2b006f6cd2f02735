#pragma once
// The program's command line: where the booking service is, help and version.
#include <string>
#include <vector>

#include "assembly/program_settings.h"

namespace quillet {

struct CommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  ProgramSettings settings;  // the window shows the desktop notification and plays the sound
  std::string error;         // for Action::Error
};

// args excludes the program name. Qt's own options (-platform NAME, -style
// NAME, -reverse, ...) are skipped with their values and left to Qt, so the
// whole command line is checked, and help given, before any display is opened.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string HelpText(const std::string& programName);
std::string VersionText();

}  // namespace quillet
