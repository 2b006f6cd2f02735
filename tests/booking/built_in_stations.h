#pragma once
#include "stations/station_directory.h"

namespace quillet::test {

// The built-in station table, loaded once for the whole test program.
inline const StationDirectory& BuiltInStations() {
  static const StationDirectory* const table = [] {
    auto* directory = new StationDirectory;
    directory->LoadStations();
    return directory;
  }();
  return *table;
}

}  // namespace quillet::test
