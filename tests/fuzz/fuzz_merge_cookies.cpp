// The cookie merge on an arbitrary jar and arbitrary new pairs, and the
// Domain check of arbitrary Set-Cookie lines for an arbitrary host.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "net/cookies.h"
#include "net/http_headers.h"
#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = quillet::fuzz::SplitInput(data, size, 4);
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

  // parts[2]: Set-Cookie lines; parts[3]: the host that sent them.
  const std::vector<std::string> lines = quillet::SplitText(parts[2], "\n");
  const std::string kept = quillet::net::CollectSetCookiePairsFrom(lines, parts[3]);
  quillet::fuzz::Require(kept.size() <= quillet::net::CollectSetCookiePairs(lines).size());
  quillet::fuzz::Require(!quillet::net::DomainMatches(parts[3], "") && !quillet::net::DomainMatches(parts[3], "."));
  return 0;
}
