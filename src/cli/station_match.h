#pragma once
// Finding the one station a person means by a name, pinyin, abbreviation,
// three-letter code or telecode.
#include <string>
#include <vector>

#include "stations/station_directory.h"

namespace quillet::cli {

// Every station the query names exactly: its name, or (letters compared
// without case) its pinyin, abbreviation, code or telecode. Table order.
std::vector<const StationRecord*> MatchStations(const StationDirectory& directory, const std::string& query);

}  // namespace quillet::cli
