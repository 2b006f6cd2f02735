#include "net/encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

TEST(UrlEncodeTest, Table) {
  struct Case {
    std::string text;
    bool keepSafe, asUtf8;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"a b", true, true, "a%20b"},
      {"1/2", true, true, "1%2F2"},
      {"x_y~z*", true, true, "x%5Fy%7Ez%2A"},
      {"Az09-.", true, true, "Az09-."},
      {"\n", true, true, "%0A"},
      {"a+b=c&d%", true, true, "a%2Bb%3Dc%26d%25"},
      {"\xD6\xD0", true, true, "%E4%B8%AD"},  // 中 in its UTF-8 form
      {"\xD6\xD0", true, false, "%D6%D0"},    // 中 in its GBK form
      {"A", false, true, "%41"},
      {"", true, true, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.text, c.keepSafe, c.asUtf8), c.expected) << c.text;
}

TEST(EncodingTest, Utf8BytesToText) {
  EXPECT_EQ(Utf8BytesToText("\xE4\xB8\xAD\xE5\x9B\xBD"), "\xD6\xD0\xB9\xFA");
  EXPECT_EQ(Utf8BytesToText(""), "");
  EXPECT_EQ(Utf8BytesToText(std::string("ab\0\xE4\xB8\xAD", 6)), "ab");  // cut at the first zero byte
  EXPECT_EQ(Utf8BytesToText(std::string("\0x", 2)), "");
  EXPECT_EQ(TextToUtf8("\xD6\xD0\xB9\xFA"), "\xE4\xB8\xAD\xE5\x9B\xBD");
  EXPECT_EQ(TextToUtf8(""), "");
}

// A name holding a character GBK cannot hold reaches the service as sent to us.
TEST(EncodingTest, CharacterOutsideGbkSurvivesTheRoundTrip) {
  const std::string utf8 = "\xE5\x90\x89\xF0\xA0\xAE\xB7";  // 吉𠮷
  const std::string text = Utf8BytesToText(utf8);
  EXPECT_EQ(TextToUtf8(text), utf8);
  EXPECT_EQ(UrlEncode(text), "%E5%90%89%F0%A0%AE%B7");
}

TEST(EncodingTest, InvalidUtf8AnswerIsReadNotRejected) {
  const std::string text = Utf8BytesToText("ok\xFF\xFE\xE4\xB8\xAD");
  EXPECT_EQ(text.substr(0, 2), "ok");
  EXPECT_EQ(text.substr(text.size() - 2), "\xD6\xD0");
}

}  // namespace
}  // namespace quillet
