#include "stations/station_directory.h"

#include <cstring>

#include "stations/station_table_data.h"
#include "util/regex_matcher.h"
#include "util/text.h"

namespace quillet {

namespace {

// True when the first query.size() bytes of field equal the query; a field
// shorter than the query never matches.
bool StartsWith(const std::string& field, const std::string& query) {
  return field.size() >= query.size() && std::memcmp(field.data(), query.data(), query.size()) == 0;
}

// The dense-table slot of a telecode of three upper-case letters, or -1.
int LetterCodeSlot(std::string_view telecode) {
  if (telecode.size() != 3) return -1;
  int slot = 0;
  for (char c : telecode) {
    if (c < 'A' || c > 'Z') return -1;
    slot = slot * 26 + (c - 'A');
  }
  return slot;
}

void AppendEntry(const StationRecord& record, std::vector<std::string>& results) {
  std::string entry;
  entry.reserve(record.name.size() + 1 + record.telecode.size());
  entry.append(record.name).append(1, '|').append(record.telecode);
  results.push_back(std::move(entry));
}

}  // namespace

void StationDirectory::LoadStations() { LoadFromText(EmbeddedStationTable()); }

std::shared_ptr<const StationDirectory> BuiltInStations() {
  static const std::shared_ptr<const StationDirectory> table = [] {
    auto loaded = std::make_shared<StationDirectory>();
    loaded->LoadStations();
    return loaded;
  }();
  return table;
}

void StationDirectory::LoadFromText(std::string_view table) {
  // The text ends at its first zero byte, like every program text.
  if (const auto zero = table.find('\0'); zero != std::string_view::npos) table = table.substr(0, zero);

  records_.clear();
  indexByLetterCode_.clear();
  nameByTelecode_.clear();
  for (const std::string& line : SplitText(table, "\r\n")) {
    std::vector<std::string> fields = SplitText(line, "|");
    if (fields.size() != 6) continue;  // a malformed line carries no station
    StationRecord record;
    record.code = std::move(fields[0]);
    record.name = std::move(fields[1]);
    record.telecode = std::move(fields[2]);
    record.pinyin = std::move(fields[3]);
    record.abbreviation = std::move(fields[4]);
    record.index = ToInteger(fields[5]);
    records_.push_back(std::move(record));
  }
  // The first record of a telecode wins, as a walk in table order would find it.
  const bool denseTable = records_.size() < kNoStation;
  if (denseTable) indexByLetterCode_.assign(kLetterCodes, kNoStation);
  nameByTelecode_.reserve(records_.size());
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const int slot = denseTable ? LetterCodeSlot(records_[i].telecode) : -1;
    if (slot < 0) {
      nameByTelecode_.try_emplace(records_[i].telecode, i);
    } else if (indexByLetterCode_[static_cast<std::size_t>(slot)] == kNoStation) {
      indexByLetterCode_[static_cast<std::size_t>(slot)] = static_cast<std::uint16_t>(i);
    }
  }
}

void StationDirectory::FindStations(const std::string& query, int mode, std::vector<std::string>& results) const {
  if (mode == 0) {
    for (const StationRecord& record : records_)
      if (StartsWith(record.name, query)) AppendEntry(record, results);
    return;
  }
  if (mode != 1 || query.size() < 2) return;
  for (const StationRecord& record : records_)
    if (StartsWith(record.pinyin, query) || StartsWith(record.code, query)) AppendEntry(record, results);
}

std::string StationDirectory::NameForTelecode(std::string_view telecode) const {
  const std::string* name = FindNameForTelecode(telecode);
  return name ? *name : std::string(telecode);
}

const std::string* StationDirectory::FindNameForTelecode(std::string_view telecode) const {
  if (const int slot = LetterCodeSlot(telecode); slot >= 0 && !indexByLetterCode_.empty()) {
    const std::uint16_t index = indexByLetterCode_[static_cast<std::size_t>(slot)];
    return index == kNoStation ? nullptr : &records_[index].name;
  }
  const auto found = nameByTelecode_.find(telecode);
  return found == nameByTelecode_.end() ? nullptr : &records_[found->second].name;
}

StationFilterOutcome FilterStationBox(const StationDirectory& directory, const std::string& boxText) {
  StationFilterOutcome outcome;
  if (boxText.empty()) return outcome;
  outcome.run = true;

  const std::string query = ToLowerAscii(boxText);
  RegexMatcher matcher;
  matcher.Run("[\\u4e00-\\u9fa5]", query);
  const int mode = matcher.MatchCount() > 0 ? 0 : 1;

  outcome.clearList = FindText(query, "|") == kNotFound;

  std::vector<std::string> results;
  directory.FindStations(query, mode, results);
  for (std::string& result : results)
    if (!result.empty()) outcome.entries.push_back(std::move(result));
  return outcome;
}

}  // namespace quillet
