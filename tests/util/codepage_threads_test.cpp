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
  const std::vector<std::string> samples = {"\xE4\xB8\xAD\xE5\x9B\xBD", "\xE5\x8C\x97\xE4\xBA\xAC\xE8\xA5\xBF|BXP",
                                            "\xF0\xA0\xAE\xB7 x", "bad \xFF utf8"};
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

// The characters' conversions are kept in tables shared by all threads: many
// threads meeting the same new characters at once all get iconv's bytes.
TEST(CodepageThreadsTest, SharedTablesFillSafely) {
  std::vector<std::string> utf8Texts;
  for (char32_t first = 0x7000; first < 0x7400; first += 64) {
    std::string text;
    for (char32_t c = first; c < first + 64; ++c) {
      text += static_cast<char>(0xE0 | (c >> 12));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
    utf8Texts.push_back(text);
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      for (const std::string& utf8 : utf8Texts) {
        const std::string gbk = GbkFromUtf8(utf8);
        if (gbk != codepage_detail::GbkFromUtf8ByIconv(utf8)) ++mismatches;
        if (Utf8FromGbk(gbk) != codepage_detail::Utf8FromGbkByIconv(gbk)) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace quillet
