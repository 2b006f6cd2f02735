#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "net/cookies.h"
#include "util/text.h"

namespace quillet {
namespace {

// Several exchanges finishing at once: every pair any of them set must be in
// the jar afterwards, once, and the shared name must hold one value.
TEST(CookieJarThreadsTest, ConcurrentMergesLoseNoPair) {
  constexpr int kThreads = 8;
  constexpr int kPairsEach = 25;
  CookieJar jar("seed=0");
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&jar, t] {
      for (int i = 0; i < kPairsEach; ++i) {
        const std::string own = "t" + std::to_string(t) + "_" + std::to_string(i) + "=v";
        jar.Merge(own + "; shared=" + std::to_string(t));
        (void)jar.Text();
      }
    });
  }
  for (auto& th : threads) th.join();

  const std::vector<std::string> pairs = SplitText(jar.Text(), "; ");
  EXPECT_EQ(pairs.size(), static_cast<std::size_t>(kThreads * kPairsEach + 2));
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPairsEach; ++i) {
      const std::string own = "t" + std::to_string(t) + "_" + std::to_string(i) + "=v";
      EXPECT_NE(IndexOfText(pairs, own), -1) << own;
    }
  }
  int shared = 0;
  for (const auto& p : pairs) shared += CookieName(p) == "shared";
  EXPECT_EQ(shared, 1);
  EXPECT_NE(IndexOfText(pairs, "seed=0"), -1);
}

}  // namespace
}  // namespace quillet
