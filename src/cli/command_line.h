#pragma once
// quillet-grab's command line.
#include <optional>
#include <string>
#include <vector>

namespace quillet::cli {

// quillet-grab trains FROM TO DATE: a day's trains, as written (UTF-8).
struct TrainsRequest {
  std::string from, to, date;
  std::string service;  // empty: the real service
  std::string caFile;
  bool student = false;
};

struct CommandLine {
  enum class Mode { kRun, kCheck, kFleetStatus, kTrains, kHelp, kVersion };
  Mode mode = Mode::kRun;
  std::string planPath;
  bool json = false;          // one JSON object per event and line
  bool captchaCells = false;  // captcha answers from standard input, no picture drawn
  bool noSound = false;
  // The page for a browser (--web [ADDRESS:]PORT); empty: as the plan says.
  std::string web;
  bool webInsecure = false;     // serve a non-loopback address without TLS
  std::string webCert, webKey;  // PEM files for HTTPS; empty: as the plan says
  TrainsRequest trains;         // kTrains
  // The fleet's Redis (--fleet URL) and this member's own source address
  // (--source-address); empty: as the plan's [fleet] says.
  std::string fleet;
  std::string sourceAddress;
};

struct CommandLineResult {
  std::optional<CommandLine> line;
  std::string error;  // set when line is empty
};

// Arguments without the program name.
CommandLineResult ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText();

}  // namespace quillet::cli
