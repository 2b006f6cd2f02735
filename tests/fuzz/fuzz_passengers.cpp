// The passenger list reader and its ten-group pattern on arbitrary answers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "booking/answers.h"
#include "fuzz_input.h"
#include "net/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The readers see what the client sees: the service's bytes decoded.
  std::string answer = quillet::Utf8BytesToText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string original = answer;
  std::vector<quillet::PassengerRecord> list;
  quillet::ReadPassengers(answer, list);
  quillet::fuzz::Require(answer.size() <= original.size());
  // Every field of a match is a piece of the answer.
  for (const quillet::PassengerRecord& p : list) {
    quillet::fuzz::Require(original.find(p.passenger_name) != std::string::npos);
    quillet::fuzz::Require(original.find(p.mobile_no) != std::string::npos);
  }
  quillet::MatchPassengers(original);
  return 0;
}
