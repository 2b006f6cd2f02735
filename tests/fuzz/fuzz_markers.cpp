// The marker operations and the list extractor on arbitrary texts and markers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "booking/answers.h"
#include "fuzz_input.h"
#include "util/text.h"

namespace {

bool IsPieceOf(const std::string& piece, const std::string& text) {
  return piece.empty() || text.find(piece) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  std::vector<std::string> parts = fuzz::SplitInput(data + 1, size - 1, 3);
  const std::string& text = parts[0];
  const std::string& left = parts[1];
  const std::string& right = parts[2];
  const bool ignoreCase = flags & 1;
  const int start = static_cast<int>(flags >> 1) - 8;

  const int at = FindText(text, left, start, ignoreCase);
  fuzz::Require(at == kNotFound || (at >= 1 && static_cast<std::size_t>(at) <= text.size()));
  if (at != kNotFound && !ignoreCase) fuzz::Require(text.compare(at - 1, left.size(), left) == 0);
  const int back = FindTextBackward(text, left, start < 0 ? 0 : start, ignoreCase);
  fuzz::Require(back == kNotFound || (back >= 1 && static_cast<std::size_t>(back) <= text.size()));

  fuzz::Require(IsPieceOf(TextBetween(text, left, right, start, ignoreCase), text));
  fuzz::Require(IsPieceOf(TextBefore(text, left, start, ignoreCase), text));
  fuzz::Require(IsPieceOf(TextAfterLast(text, left, start < 0 ? 0 : start, ignoreCase), text));

  std::size_t total = 0;
  for (const std::string& piece : SplitText(text, left)) total += piece.size();
  fuzz::Require(total <= text.size());

  std::vector<std::string> items;
  const int count = ExtractItemsBetween(text, left, right, items, !ignoreCase, flags & 0x0F, {}, {}, flags & 0x10,
                                        flags & 0x20, start);
  fuzz::Require(count == static_cast<int>(items.size()));
  for (const std::string& item : items) fuzz::Require(!item.empty());
  return 0;
}
