// The plan reader on arbitrary files: every outcome is a plan or a list of
// errors that each name the file, never a crash or a hang.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/plan_reader.h"
#include "fuzz_input.h"
#include "stations/station_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quillet::StationDirectory stations = [] {
    quillet::StationDirectory directory;
    directory.LoadStations();
    return directory;
  }();
  const std::chrono::sys_days today{std::chrono::year{2026} / 12 / 10};
  const quillet::cli::PlanReading reading = quillet::cli::ReadPlanText(
      std::string_view(reinterpret_cast<const char*>(data), size), "/fuzz/plan.toml", stations, today);
  for (const quillet::cli::PlanError& error : reading.errors) {
    quillet::fuzz::Require(error.file == "/fuzz/plan.toml" && !error.message.empty());
  }
  if (reading.Ok()) {
    for (const quillet::cli::PlanWish& wish : reading.plan.wishes) {
      quillet::fuzz::Require(!wish.passengers.empty() && wish.passengers.size() <= quillet::cli::kMaxPassengers);
      quillet::fuzz::Require(!wish.dates.empty() && !wish.seats.empty());
    }
  }
  return 0;
}
