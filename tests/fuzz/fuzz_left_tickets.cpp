// The left-ticket answer reader on arbitrary (decoded) answers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "booking/answers.h"
#include "fuzz_input.h"
#include "net/encoding.h"
#include "stations/station_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quillet::StationDirectory* const stations = [] {
    auto* directory = new quillet::StationDirectory;
    directory->LoadStations();
    return directory;
  }();
  // The readers see what the client sees: the service's bytes decoded.
  std::string answer = quillet::Utf8BytesToText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string original = answer;
  std::vector<quillet::TrainRecord> records;
  quillet::ReadLeftTickets(answer, *stations, records);
  // What the answer is cut down to always comes from the answer itself.
  quillet::fuzz::Require(answer.size() <= original.size());
  // A train's fields are pieces of the answer, its secret among them.
  for (const quillet::TrainRecord& record : records)
    quillet::fuzz::Require(original.find(record.secretStr) != std::string::npos);
  return 0;
}
