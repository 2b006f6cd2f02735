#include "cli/station_match.h"

#include "util/codepage.h"
#include "util/messages.h"
#include "util/text.h"

namespace quillet::cli {

std::vector<const StationRecord*> MatchStations(const StationDirectory& directory, const std::string& query) {
  std::vector<const StationRecord*> matches;
  if (query.empty()) return matches;
  // Names and telecodes are unique: written exactly, they name one station.
  for (const StationRecord& station : directory.Records()) {
    if (station.name == query || station.telecode == query) return {&station};
  }
  const std::string lower = ToLowerAscii(query);
  for (const StationRecord& station : directory.Records()) {
    if (station.name == query || station.pinyin == lower || station.abbreviation == lower || station.code == lower ||
        ToLowerAscii(station.telecode) == lower) {
      matches.push_back(&station);
    }
  }
  return matches;
}

}  // namespace quillet::cli

namespace quillet::cli {

StationChoice ChooseStation(const StationDirectory& directory, const std::string& written) {
  const std::vector<const StationRecord*> matches = MatchStations(directory, GbkFromUtf8(written));
  if (matches.empty()) return {nullptr, Format(_("no station is called \"%s\""), written)};
  if (matches.size() > 1) {
    std::string names;
    for (const StationRecord* match : matches) {
      names += (names.empty() ? "" : ", ") + Utf8FromGbk(match->name) + " (" + match->telecode + ")";
    }
    return {nullptr, Format(_("\"%s\" names several stations: %s"), written, names)};
  }
  return {matches[0], {}};
}

}  // namespace quillet::cli
