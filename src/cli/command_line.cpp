#include "cli/command_line.h"

#include "util/messages.h"

namespace quillet::cli {
namespace {

CommandLineResult ParseTrains(const std::vector<std::string>& args) {
  CommandLine line;
  line.mode = CommandLine::Mode::kTrains;
  std::vector<std::string> words;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool last = i + 1 == args.size();
    if (arg == "--help" || arg == "-h") {
      line.mode = CommandLine::Mode::kHelp;
      return {line, {}};
    }
    if (arg == "--service" || arg == "--ca-file") {
      if (last) return {std::nullopt, Format(_("%s needs a value"), arg)};
      (arg == "--service" ? line.trains.service : line.trains.caFile) = args[++i];
    } else if (arg == "--student") {
      line.trains.student = true;
    } else if (arg == "--json") {
      line.json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return {std::nullopt, Format(_("unknown option %s"), arg)};
    } else {
      words.push_back(arg);
    }
  }
  if (words.size() != 3) return {std::nullopt, _("trains needs FROM TO DATE, e.g. trains beijing shanghai today+5")};
  line.trains.from = words[0];
  line.trains.to = words[1];
  line.trains.date = words[2];
  return {line, {}};
}

}  // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "trains") return ParseTrains(args);
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
      if (i + 1 == args.size()) return {std::nullopt, _("--check needs a plan file")};
      line.mode = CommandLine::Mode::kCheck;
      plans.push_back(args[++i]);
    } else if (arg == "--fleet-status") {
      if (i + 1 == args.size()) return {std::nullopt, Format(_("%s needs a value"), arg)};
      line.mode = CommandLine::Mode::kFleetStatus;
      plans.push_back(args[++i]);
    } else if (arg == "--fleet" || arg == "--source-address") {
      if (i + 1 == args.size()) return {std::nullopt, Format(_("%s needs a value"), arg)};
      (arg == "--fleet" ? line.fleet : line.sourceAddress) = args[++i];
    } else if (arg == "--json") {
      line.json = true;
    } else if (arg == "--captcha-cells") {
      line.captchaCells = true;
    } else if (arg == "--no-sound") {
      line.noSound = true;
    } else if (arg == "--web" || arg == "--web-cert" || arg == "--web-key") {
      if (i + 1 == args.size()) return {std::nullopt, Format(_("%s needs a value"), arg)};
      (arg == "--web" ? line.web : arg == "--web-cert" ? line.webCert : line.webKey) = args[++i];
    } else if (arg == "--web-insecure") {
      line.webInsecure = true;
    } else if (arg == "--") {
      plans.insert(plans.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return {std::nullopt, Format(_("unknown option %s"), arg)};
    } else {
      plans.push_back(arg);
    }
  }
  if (plans.empty()) return {std::nullopt, _("no plan file given")};
  if (plans.size() > 1) {
    return {std::nullopt, Format(_("one plan file at a time (got %s)"), std::to_string(plans.size()))};
  }
  line.planPath = plans[0];
  return {line, {}};
}

std::string UsageText() {
  return _("Usage: quillet-grab [OPTIONS] PLAN\n"
           "       quillet-grab --check PLAN\n"
           "       quillet-grab trains FROM TO DATE [--service URL] [--ca-file FILE] [--student] [--json]\n"
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
           "trains lists the trains of a day between two stations with each class's tickets,\n"
           "without signing in; stations as in a plan, DATE as yyyy-MM-dd or today+N.\n"
           "  --service URL    the booking service (default https://kyfw.12306.cn)\n"
           "  --ca-file FILE   also trust the certificate authorities in this PEM file\n"
           "  --student        student tickets\n"
           "\n"
           "The password comes from QUILLET_PASSWORD, or is asked for on the terminal.\n"
           "Exit codes: 0 every wish booked, 1 a failure while running, 2 bad usage or plan,\n"
           "3 stopped by a signal, 4 a wish needs a manual check.\n") +
         std::string(_("\n"
                       "A page for a browser shows the run and can stop it or sign in again:\n"
                       "  --web [ADDRESS:]PORT  serve it (default address 127.0.0.1)\n"
                       "  --web-cert FILE       serve it over HTTPS with this certificate (PEM)\n"
                       "  --web-key FILE        and this private key (PEM)\n"
                       "  --web-insecure        allow plain HTTP on an address other machines reach\n")) +
         std::string(_("\n"
                       "A fleet of quillet-grab processes shares a plan's accounts through Redis:\n"
                       "  --fleet URL            the fleet's Redis, redis://[[user]:password@]host[:port][/db]\n"
                       "                         (password also from QUILLET_REDIS_PASSWORD)\n"
                       "  --source-address ADDR  this member's own address for its requests to the service\n"
                       "  --fleet-status PLAN    the fleet's members, account holders and wishes, then exit\n"));
}

}  // namespace quillet::cli
