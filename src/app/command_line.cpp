#include "app/command_line.h"

#include "quillet/version.h"

namespace quillet {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      line.action = CommandLine::Action::Help;
      return line;
    }
    if (arg == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    }
    std::string* target = nullptr;
    if (arg == "--service") target = &line.settings.serviceBaseAddress;
    if (arg == "--ca-file") target = &line.settings.caFile;
    if (!target) {
      line.action = CommandLine::Action::Error;
      line.error = "unknown option: " + arg;
      return line;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      line.action = CommandLine::Action::Error;
      line.error = arg + " needs a value";
      return line;
    }
    *target = args[++i];
  }
  // The address is joined with paths that begin with "/".
  std::string& address = line.settings.serviceBaseAddress;
  while (!address.empty() && address.back() == '/') address.pop_back();
  if (address.rfind("http://", 0) != 0 && address.rfind("https://", 0) != 0) {
    line.action = CommandLine::Action::Error;
    line.error = "--service needs an http:// or https:// address";
  }
  return line;
}

std::string HelpText(const std::string& programName) {
  return "Usage: " + programName +
         " [--service URL] [--ca-file FILE]\n"
         "\n"
         "Books a seat on a wanted train the moment one becomes free.\n"
         "\n"
         "  --service URL   address of the booking service (default " +
         std::string(kRealServiceAddress) +
         "),\n"
         "                  for example http://127.0.0.1:8080 for a rehearsal service\n"
         "  --ca-file FILE  also trust the certificate authorities in FILE (PEM)\n"
         "  --help          show this text\n"
         "  --version       show the version\n";
}

std::string VersionText() { return std::string("quillet ") + kVersion + "\n"; }

}  // namespace quillet
