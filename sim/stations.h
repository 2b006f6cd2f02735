#pragma once
// The station table the client carries, read once and turned into UTF-8,
// so the service knows the same telecodes and names.
#include <string>
#include <unordered_map>
#include <vector>

namespace quillet::sim {

struct Station {
  std::string name;      // UTF-8
  std::string telecode;  // three upper-case letters
};

class StationTable {
 public:
  // Loads the built-in GBK table.
  StationTable();

  const std::vector<Station>& All() const { return stations_; }
  // Nullptr when the telecode is unknown.
  const Station* ByTelecode(const std::string& telecode) const;

 private:
  std::vector<Station> stations_;
  std::unordered_map<std::string, std::size_t> byTelecode_;
};

// GBK bytes to UTF-8; undecodable bytes become "?".
std::string GbkToUtf8(const std::string& gbk);

}  // namespace quillet::sim
