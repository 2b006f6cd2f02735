#include "stations.h"

#include <iconv.h>

#include <cerrno>
#include <string_view>

#include "stations/station_table_data.h"

namespace quillet::sim {

std::string GbkToUtf8(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return gbk;
  std::string out;
  std::string input = gbk;
  char* in = input.data();
  std::size_t inLeft = input.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out.push_back('?');
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

StationTable::StationTable() {
  const std::string_view table = quillet::EmbeddedStationTable();
  std::size_t pos = 0;
  while (pos < table.size()) {
    std::size_t end = table.find("\r\n", pos);
    if (end == std::string_view::npos) end = table.size();
    const std::string_view line = table.substr(pos, end - pos);
    pos = end + 2;
    // code|name|telecode|pinyin|abbreviation|index
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
      const std::size_t bar = line.find('|', start);
      fields.push_back(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
      if (bar == std::string_view::npos) break;
      start = bar + 1;
    }
    if (fields.size() != 6 || fields[2].empty()) continue;
    Station station{GbkToUtf8(std::string(fields[1])), std::string(fields[2])};
    if (byTelecode_.count(station.telecode) != 0) continue;
    byTelecode_.emplace(station.telecode, stations_.size());
    stations_.push_back(std::move(station));
  }
}

const Station* StationTable::ByTelecode(const std::string& telecode) const {
  const auto it = byTelecode_.find(telecode);
  return it == byTelecode_.end() ? nullptr : &stations_[it->second];
}

}  // namespace quillet::sim
