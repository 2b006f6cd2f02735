#include "cli/command_line.h"

namespace quillet::cli {

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  std::vector<std::string> plans;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      line.mode = CommandLine::Mode::kHelp;
      return {line, {}};
    }
    if (arg == "--version") {
      line.mode = CommandLine::Mode::kVersion;
      return {line, {}};
    }
    if (arg == "--check") {
      if (i + 1 == args.size()) return {std::nullopt, "--check needs a plan file"};
      line.mode = CommandLine::Mode::kCheck;
      plans.push_back(args[++i]);
    } else if (arg == "--json") {
      line.json = true;
    } else if (arg == "--captcha-cells") {
      line.captchaCells = true;
    } else if (arg == "--no-sound") {
      line.noSound = true;
    } else if (arg == "--") {
      plans.insert(plans.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return {std::nullopt, "unknown option " + arg};
    } else {
      plans.push_back(arg);
    }
  }
  if (plans.empty()) return {std::nullopt, "no plan file given"};
  if (plans.size() > 1) return {std::nullopt, "one plan file at a time (got " + std::to_string(plans.size()) + ")"};
  line.planPath = plans[0];
  return {line, {}};
}

std::string UsageText() {
  return "Usage: quillet-grab [OPTIONS] PLAN\n"
         "       quillet-grab --check PLAN\n"
         "\n"
         "Books the seats a plan file (TOML) asks for, on a machine without a display.\n"
         "\n"
         "  --check PLAN     check the plan, print what it asks for, and exit\n"
         "  --json           write one JSON object per event and line\n"
         "  --captcha-cells  read the captcha answers from standard input without drawing the picture\n"
         "  --no-sound       no sound on a booking\n"
         "  --help           show this text\n"
         "  --version        show the version\n"
         "\n"
         "The password comes from QUILLET_PASSWORD, or is asked for on the terminal.\n"
         "Exit codes: 0 every wish booked, 1 a failure while running, 2 bad usage or plan,\n"
         "3 stopped by a signal, 4 a wish needs a manual check.\n";
}

}  // namespace quillet::cli
