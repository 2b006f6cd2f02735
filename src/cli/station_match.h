#pragma once
// Finding the one station a person means by a name, pinyin, abbreviation,
// three-letter code or telecode.
#include <string>
#include <vector>

#include "stations/station_directory.h"

namespace quillet::cli {

// The station whose name or telecode the query is exactly; otherwise every
// station whose pinyin, abbreviation, code or telecode it is, letters
// compared without case, in table order ("bjp" is both 白鸡坡's code and
// 北京's telecode).
std::vector<const StationRecord*> MatchStations(const StationDirectory& directory, const std::string& query);

}  // namespace quillet::cli

namespace quillet::cli {

struct StationChoice {
  const StationRecord* station = nullptr;  // the one station meant
  std::string problem;                     // UTF-8 when there is none or several
};
// The one station `written` (UTF-8, as the person typed it) names, or why not.
StationChoice ChooseStation(const StationDirectory& directory, const std::string& written);

}  // namespace quillet::cli
