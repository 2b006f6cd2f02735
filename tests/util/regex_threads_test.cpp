#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "util/codepage.h"
#include "util/regex_matcher.h"

namespace quillet {
namespace {

// Compiled patterns are shared by every thread; each thread's matches stay its own.
TEST(RegexThreadsTest, SharedPatternsMatchIndependently) {
  const std::string chinese = "[\\u4e00-\\u9fa5]";
  const std::string pairs = "(\\w+)=(\\w*)";
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      RegexMatcher matcher;
      for (int i = 0; i < 300; ++i) {
        const std::string name = "k" + std::to_string(t) + "_" + std::to_string(i);
        if (!matcher.Run(pairs, name + "=v; x=") || matcher.MatchCount() != 2 || matcher.SubMatchText(1, 1) != name)
          ++mismatches;
        const std::string text = std::string(static_cast<std::size_t>(i % 5), 'a') + Gbk(u8"北京");
        if (!matcher.Run(chinese, text) || matcher.MatchCount() != 2) ++mismatches;
        if (matcher.Run("(", text)) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace quillet
