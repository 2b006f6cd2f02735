// The cookie merge on an arbitrary jar and arbitrary new pairs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "net/cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = quillet::fuzz::SplitInput(data, size, 2);
  std::string jar = parts[0];
  std::string newPairs = parts[1];
  const std::string merged = quillet::MergeCookies(jar, newPairs);
  quillet::fuzz::Require(merged == jar);

  quillet::CookieJar shared(parts[0]);
  quillet::fuzz::Require(shared.Merge(parts[1]) == merged);
  // Merges of no pairs afterwards: the jar may skip the work it knows would change nothing.
  for (int again = 0; again < 2; ++again) {
    std::string none;
    quillet::fuzz::Require(shared.Merge({}) == quillet::MergeCookies(jar, none));
  }
  return 0;
}
