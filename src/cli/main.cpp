// quillet-grab: books what a plan file asks for, from a terminal or a script.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/plan_reader.h"
#include "cli/plan_summary.h"
#include "stations/station_directory.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
  using quillet::cli::CommandLine;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const quillet::cli::CommandLineResult parsed = quillet::cli::ParseCommandLine(args);
  if (!parsed.line) {
    std::cerr << "quillet-grab: " << parsed.error << "\n" << quillet::cli::UsageText();
    return kExitUsage;
  }
  const CommandLine& line = *parsed.line;
  if (line.mode == CommandLine::Mode::kHelp) {
    std::cout << quillet::cli::UsageText();
    return 0;
  }
  if (line.mode == CommandLine::Mode::kVersion) {
    std::cout << "quillet-grab " << QUILLET_VERSION << "\n";
    return 0;
  }

  quillet::StationDirectory stations;
  stations.LoadStations();
  const quillet::cli::PlanReading reading =
      quillet::cli::ReadPlanFile(line.planPath, stations, quillet::cli::TodayInChina());
  if (!reading.Ok()) {
    for (const auto& error : reading.errors) std::cerr << quillet::cli::DescribePlanError(error) << "\n";
    return kExitUsage;
  }
  if (line.mode == CommandLine::Mode::kCheck) {
    std::cout << quillet::cli::DescribePlan(reading.plan);
    return 0;
  }
  std::cerr << "quillet-grab: the plan is fine, but running it is not built yet; use --check to see what it asks for\n";
  return kExitFailure;
}
