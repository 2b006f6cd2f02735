#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "util/codepage.h"

namespace quillet {
namespace {

// Each thread converts with descriptors of its own; results must not mix.
TEST(CodepageThreadsTest, ParallelConversionsStayIntact) {
  const std::vector<std::string> samples = {
      "\xE4\xB8\xAD\xE5\x9B\xBD", "\xE5\x8C\x97\xE4\xBA\xAC\xE8\xA5\xBF|BXP", "\xF0\xA0\xAE\xB7 x",
      "bad \xFF utf8"};
  std::vector<std::string> expected;
  for (const auto& s : samples) expected.push_back(GbkFromUtf8(s));

  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        const std::size_t k = static_cast<std::size_t>(t + i) % samples.size();
        const std::string gbk = GbkFromUtf8(samples[k]);
        if (gbk != expected[k] || GbkFromUtf8(Utf8FromGbk(gbk)) != gbk) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace quillet
