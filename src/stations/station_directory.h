#pragma once
// The built-in station table and its searches.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillet {

struct StationRecord {
  std::string code;      // 3 lower-case letters, not unique
  std::string name;      // Chinese name, unique
  std::string telecode;  // the service's station code, unique
  std::string pinyin;
  std::string abbreviation;  // never searched
  std::int32_t index = 0;
};

class StationDirectory {
 public:
  // Fills the list from the embedded table (replacing what was there).
  void LoadStations();
  // Parses a table text in the embedded format (lines split at CR LF, six fields each).
  void LoadFromText(std::string_view table);

  // mode 0: name prefix; mode 1: pinyin or code prefix, queries of 2+ bytes.
  // Appends name + "|" + telecode per match, in table order.
  void FindStations(const std::string& query, int mode, std::vector<std::string>& results) const;
  // Name of the first station with this telecode, or the telecode itself.
  std::string NameForTelecode(std::string_view telecode) const;
  // The same lookup without a copy: the name, or null when no station has the telecode.
  const std::string* FindNameForTelecode(std::string_view telecode) const;
  const std::vector<StationRecord>& Records() const { return records_; }

 private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };

  static constexpr std::size_t kLetterCodes = 26 * 26 * 26;
  static constexpr std::uint16_t kNoStation = 0xFFFF;

  std::vector<StationRecord> records_;
  // Built once at load, read-only afterwards. The service's telecodes are
  // three upper-case letters: those are looked up in a dense table (record
  // index, or kNoStation), any other in the map (telecode -> index of its
  // first record). A table too large for 16-bit indexes uses the map alone.
  std::vector<std::uint16_t> indexByLetterCode_;
  std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> nameByTelecode_;
};

// The built-in table, loaded at the first call; every caller in the process
// shares that one table, read-only.
std::shared_ptr<const StationDirectory> BuiltInStations();

// What the station box's filter decides for a box text; the widget side
// applies it to its drop-down list.
struct StationFilterOutcome {
  bool run = false;                  // false: the box is empty, leave the list alone
  bool clearList = false;            // true unless the text holds "|" (a picked entry)
  std::vector<std::string> entries;  // to insert at the end, in order
};
StationFilterOutcome FilterStationBox(const StationDirectory& directory, const std::string& boxText);

}  // namespace quillet
