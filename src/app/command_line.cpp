#include "app/command_line.h"

#include <algorithm>
#include <string_view>

#include "quillet/version.h"

namespace quillet {

namespace {

// The options Qt's application object takes from the command line (its own,
// the window system's and the style's), spelt with one dash; Qt also accepts
// them with two. They are left in place for Qt, with their values.
constexpr std::string_view kQtOptionsWithValue[] = {"-platform",
                                                    "-platformpluginpath",
                                                    "-platformtheme",
                                                    "-plugin",
                                                    "-qwindowgeometry",
                                                    "-geometry",
                                                    "-qwindowtitle",
                                                    "-title",
                                                    "-qwindowicon",
                                                    "-icon",
                                                    "-session",
                                                    "-style",
                                                    "-stylesheet",
                                                    "-display",
                                                    "-name",
                                                    "-visual",
                                                    "-ncols",
                                                    "-im",
                                                    "-inputstyle",
                                                    "-fn",
                                                    "-font",
                                                    "-bg",
                                                    "-background",
                                                    "-fg",
                                                    "-foreground",
                                                    "-btn",
                                                    "-button",
                                                    "-dialogs"};
constexpr std::string_view kQtFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync",
                                         "-cmap",    "-testability", "-qdebug", "-qdevel"};
// Taken in the form -option=value.
constexpr std::string_view kQtJoinedOptions[] = {"-style=", "-stylesheet=", "-qmljsdebugger=", "-session="};

template <size_t N>
bool Contains(const std::string_view (&names)[N], std::string_view name) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// How many arguments from `arg` on belong to Qt (0: not a Qt option).
size_t QtOptionLength(const std::string& arg, bool valueFollows) {
  if (arg.size() < 2 || arg[0] != '-') return 0;
  std::string_view name = arg;
  if (name.rfind("--", 0) == 0) name.remove_prefix(1);
  if (Contains(kQtFlags, name)) return 1;
  if (Contains(kQtOptionsWithValue, name)) return valueFollows ? 2 : 1;
  for (std::string_view joined : kQtJoinedOptions) {
    if (name.rfind(joined, 0) == 0) return 1;
  }
  return 0;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (const size_t qtLength = QtOptionLength(arg, i + 1 < args.size()); qtLength > 0) {
      i += qtLength - 1;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      line.action = CommandLine::Action::Help;
      return line;
    }
    if (arg == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    }
    if (arg == "--no-sound") {
      line.settings.notify.sound = false;
      continue;
    }
    std::string* target = nullptr;
    if (arg == "--notify-url") target = &line.settings.notify.webhookUrl;
    if (arg == "--service") target = &line.settings.service.address;
    if (arg == "--ca-file") target = &line.settings.service.caFile;
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
  std::string& address = line.settings.service.address;
  while (!address.empty() && address.back() == '/') address.pop_back();
  if (address.rfind("http://", 0) != 0 && address.rfind("https://", 0) != 0) {
    line.action = CommandLine::Action::Error;
    line.error = "--service needs an http:// or https:// address";
  }
  const std::string& hook = line.settings.notify.webhookUrl;
  if (line.action == CommandLine::Action::Run && !hook.empty() && hook.rfind("http://", 0) != 0 &&
      hook.rfind("https://", 0) != 0) {
    line.action = CommandLine::Action::Error;
    line.error = "--notify-url needs an http:// or https:// address";
  }
  return line;
}

std::string HelpText(const std::string& programName) {
  return "Usage: " + programName +
         " [--service URL] [--ca-file FILE] [--notify-url URL] [--no-sound]\n"
         "\n"
         "Books a seat on a wanted train the moment one becomes free.\n"
         "\n"
         "  --service URL   address of the booking service (default " +
         std::string(kRealServiceAddress) +
         "),\n"
         "                  for example http://127.0.0.1:8080 for a rehearsal service\n"
         "  --ca-file FILE  also trust the certificate authorities in FILE (PEM),\n"
         "                  for the service and the notify URL\n"
         "  --notify-url URL\n"
         "                  POST a small JSON document to URL on a booking, a wish that\n"
         "                  needs a check by hand and a lapsed sign-in\n"
         "  --no-sound      no sound on a booking\n"
         "  --help          show this text\n"
         "  --version       show the version\n"
         "\n"
         "Qt's own options (-platform, -style, -display, -qwindowgeometry, -reverse, ...) are passed to Qt.\n";
}

std::string VersionText() { return std::string("quillet ") + kVersion + "\n"; }

}  // namespace quillet
