// Filling translated message patterns: translations may reorder the values.
#include "util/messages.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(Format, FillsPatternsInOrderOrByPosition) {
  const struct {
    const char* pattern;
    const char* filled;
  } cases[] = {
      {"Trains from %s to %s on %s", "Trains from A to B on 2026-12-20"},
      {"%3$s 从 %1$s 到 %2$s", "2026-12-20 从 A 到 B"},
      {"100%% of %s", "100% of A"},
      {"%s %s %s %s", "A B 2026-12-20 "},  // a missing value is left empty
      {"%d stays, as does a lone %", "%d stays, as does a lone %"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Format(c.pattern, std::string("A"), "B", std::string("2026-12-20")), c.filled) << c.pattern;
  }
}

}  // namespace
}  // namespace quillet
