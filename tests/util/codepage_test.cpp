#include "util/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

const std::string kReplacementGbk = "\x84\x31\xA4\x37";  // U+FFFD in its four-byte form
const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

TEST(CodepageTest, KnownCharacters) {
  EXPECT_EQ(GbkFromUtf8("\xE4\xB8\xAD\xE5\x9B\xBD"), "\xD6\xD0\xB9\xFA");  // 中国
  EXPECT_EQ(Utf8FromGbk("\xD6\xD0\xB9\xFA"), "\xE4\xB8\xAD\xE5\x9B\xBD");
  EXPECT_EQ(Gbk(u8"成功"), "\xB3\xC9\xB9\xA6");
  EXPECT_EQ(GbkFromUtf8("plain ascii"), "plain ascii");
  EXPECT_EQ(GbkFromUtf8(""), "");
  EXPECT_EQ(Utf8FromGbk(""), "");
}

// A character outside GBK (here 𠮷, U+20BB7, found in people's names) must
// come back unchanged instead of turning into '?'.
TEST(CodepageTest, CharacterOutsideGbkRoundTrips) {
  const std::string utf8 = "\xE5\x90\x89\xF0\xA0\xAE\xB7 \xE2\x82\xAC";  // 吉𠮷 €
  const std::string gbk = GbkFromUtf8(utf8);
  EXPECT_EQ(gbk.find('?'), std::string::npos);
  EXPECT_EQ(gbk.substr(0, 2), "\xBC\xAA");  // 吉 keeps its GBK bytes
  EXPECT_EQ(Utf8FromGbk(gbk), utf8);
}

// Every two-byte code that a plain GBK decoder accepts keeps its exact bytes
// through program text -> UTF-8 -> program text.
TEST(CodepageTest, EveryGbkCharacterKeepsItsBytes) {
  iconv_t reference = iconv_open("UTF-8", "GBK");
  ASSERT_NE(reference, reinterpret_cast<iconv_t>(-1));
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[8];
      char* inPtr = in;
      char* outPtr = out;
      size_t inLeft = 2, outLeft = sizeof out;
      iconv(reference, nullptr, nullptr, nullptr, nullptr);
      if (iconv(reference, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) continue;
      const std::string gbk(in, 2);
      const std::string utf8 = Utf8FromGbk(gbk);
      ASSERT_EQ(utf8.find(kReplacementUtf8), std::string::npos) << std::hex << lead << ' ' << trail;
      ASSERT_EQ(GbkFromUtf8(utf8), gbk) << std::hex << lead << ' ' << trail;
      ++checked;
    }
  }
  iconv_close(reference);
  EXPECT_GT(checked, 21000);  // GBK holds 21886 characters; guards against a broken reference decoder
}

TEST(CodepageTest, InvalidUtf8BecomesReplacementAndConversionGoesOn) {
  struct Case {
    std::string utf8, gbk;
  };
  const std::string r = kReplacementGbk;
  const std::vector<Case> cases = {
      {"a\xFF"
       "b",
       "a" + r + "b"},
      {"\x80"
       "x",
       r + "x"},           // lone continuation byte
      {"x\xC3", "x" + r},  // cut short at the end
      {"\xE4\xB8"
       "x",
       r + r + "x"},  // cut short in the middle: one per byte
      {"\xC0\xAF"
       "x",
       r + r + "x"},  // overlong form
      {"\xED\xA0\x80"
       "x",
       r + r + r + "x"},  // encoded surrogate
      {"\xE4\xB8\xAD\xFE\xE5\x9B\xBD", "\xD6\xD0" + r + "\xB9\xFA"},
  };
  for (const auto& c : cases) EXPECT_EQ(GbkFromUtf8(c.utf8), c.gbk);
}

// The table-driven decoding must give exactly iconv's bytes, on well-formed
// text and on every kind of damage, wherever in the text it appears.
TEST(CodepageTest, FastDecodingEqualsIconv) {
  const std::vector<std::string> pieces = {
      "",
      "plain ascii",
      "\xE4\xB8\xAD\xE5\x9B\xBD",              // 中国
      "\xC2\x80\xC2\xB7\xDF\xBF",              // two-byte forms, U+0080 among them
      "\xE2\x82\xAC\xEF\xBB\xBF\xEF\xBF\xBD",  // €, a byte-order mark, U+FFFD
      "\xEF\xBF\xBE\xEF\xBF\xBF",              // the non-characters U+FFFE, U+FFFF
      "\xEE\x80\x80\xEE\x80\x81",              // private use
      "\xF0\xA0\xAE\xB7",                      // outside the BMP
      "\xE4\xB8",                              // cut short
      "\xC0\xAF\xE0\x80\xAF",                  // overlong
      "\xE0\x82\x80",                          // overlong U+0080
      "\xED\xA0\x80\xED\xBF\xBF",              // encoded surrogates
      "\x80\xBF\xFE\xFF",                      // stray bytes
      "\xF4\x90\x80\x80\xF8\x88\x80\x80\x80",  // beyond U+10FFFF
      std::string("a\0b", 3),
  };
  for (const std::string& a : pieces) {
    for (const std::string& b : pieces) {
      for (const std::string& text : {a + b, a + "x|" + b, "\xE6\x97\xA0" + a + "\"" + b + "\xE6\x9C\x89"}) {
        EXPECT_EQ(GbkFromUtf8(text), codepage_detail::GbkFromUtf8ByIconv(text)) << testing::PrintToString(text);
      }
    }
  }
  // Every character of the BMP, alone and after another one, twice (the
  // second time from the table).
  int differing = 0;
  for (int round = 0; round < 2; ++round) {
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      std::string text = "a\xE4\xB8\xAD";
      if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
      } else {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      }
      text += static_cast<char>(0x80 | (c & 0x3F));
      text += 'z';
      if (GbkFromUtf8(text) != codepage_detail::GbkFromUtf8ByIconv(text)) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST(CodepageTest, FastEncodingEqualsIconv) {
  const std::vector<std::string> pieces = {
      "",
      "plain ascii",
      "\xD6\xD0\xB9\xFA",          // 中国
      "\xB0\x41\xB0\x7C\xB0\x22",  // trail bytes that look like 'A', '|' and a quote
      "\x81\x30\x81\x30",          // a four-byte code (U+0080)
      "\x95\x32\x82\x36",          // a four-byte code outside the BMP
      "\x81\x30",                  // a four-byte code cut short
      "\x80\xFF\xA1",              // bytes that start nothing, a lone lead byte
      "\x81\x7F\xFE\x20\xA1\xA1",  // trail bytes out of range, the full-width space
      std::string("a\0b", 3),
  };
  for (const std::string& a : pieces) {
    for (const std::string& b : pieces) {
      for (const std::string& text : {a + b, a + "x" + b, "\xC3\xFB" + a + "\"" + b + "\xD3\xD0"}) {
        EXPECT_EQ(Utf8FromGbk(text), codepage_detail::Utf8FromGbkByIconv(text)) << testing::PrintToString(text);
      }
    }
  }
  // Every lead and trail byte pair, alone and after a character, twice (the
  // second time from the table).
  int differing = 0;
  for (int round = 0; round < 2; ++round) {
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0; trail <= 0xFF; ++trail) {
        const std::string text = std::string("a\xB0\xA1") + static_cast<char>(lead) + static_cast<char>(trail) + "z";
        if (Utf8FromGbk(text) != codepage_detail::Utf8FromGbkByIconv(text)) ++differing;
      }
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST(CodepageTest, InvalidGbkBecomesReplacement) {
  EXPECT_EQ(Utf8FromGbk("a\xFF"
                        "b"),
            "a" + kReplacementUtf8 + "b");
  EXPECT_EQ(Utf8FromGbk("a\x81"), "a" + kReplacementUtf8);
  EXPECT_EQ(Utf8FromGbk("\x81\x20x"), kReplacementUtf8 + " x");
}

// Texts that convert one character at a time, and those that do not; for the
// first kind, converting the pieces cut at each character boundary gives the
// whole text's conversion.
TEST(CodepageTest, ConversionGoesByCharacter) {
  const std::string chinese = "\xE9\xA2\x84\xE8\xAE\xA2|\xE6\x97\xA0";  // 预订|无
  const std::string longText = std::string(13, 'a') + chinese + std::string(17, 'b') + chinese + "c\xC3\xA9";
  const std::vector<std::string> byCharacter = {"", "ascii only", chinese, longText,
                                                "\xE4\xB8\x80\xEF\xBC\x8C\xE3\x80\x80"};
  for (const std::string& text : byCharacter) {
    EXPECT_TRUE(GbkFromUtf8GoesByCharacter(text)) << text;
    std::string pieces;
    for (std::size_t i = 0; i < text.size();) {
      const auto lead = static_cast<unsigned char>(text[i]);
      const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
      pieces += GbkFromUtf8(text.substr(i, length));
      i += length;
    }
    EXPECT_EQ(pieces, GbkFromUtf8(text)) << text;
  }
  const std::vector<std::string> notByCharacter = {
      "\xF0\x9F\x98\x80",             // four bytes
      longText + "\xE6\x97",          // cut off
      "\xE6\x97x\xA0",                // broken
      "\xC0\xAF",                     // overlong
      "\xE0\x80\xAF",                 // overlong
      "\xED\xA0\x80",                 // a surrogate
      "x\x80y",                       // a lone continuation byte
      std::string(20, 'a') + "\xFF",  // never in UTF-8
  };
  for (const std::string& text : notByCharacter) EXPECT_FALSE(GbkFromUtf8GoesByCharacter(text)) << text;
}

TEST(CodepageTest, Utf16) {
  EXPECT_EQ(MultiByteToUtf16("\xD6\xD0"
                             "A",
                             kCodePageGbk),
            std::string("\x2D\x4E\x41\0\0\0", 6));
  EXPECT_EQ(MultiByteToUtf16("\xE4\xB8\xAD", kCodePageUtf8), std::string("\x2D\x4E\0\0", 4));
  EXPECT_EQ(MultiByteToUtf16("", kCodePageUtf8), std::string("\0\0", 2));
  EXPECT_EQ(MultiByteToUtf16("\xF0\xA0\xAE\xB7", kCodePageUtf8), std::string("\x42\xD8\xB7\xDF\0\0", 6));

  EXPECT_EQ(Utf16ToMultiByte(std::string("\x2D\x4E\0\0", 4), kCodePageGbk), "\xD6\xD0");
  EXPECT_EQ(Utf16ToMultiByte(std::string("A\0\0\0B\0", 6), kCodePageUtf8), "A");      // stops at the zero unit
  EXPECT_EQ(Utf16ToMultiByte(std::string("\0A", 2), kCodePageUtf8), "\xE4\x84\x80");  // U+4100, not a zero unit
  EXPECT_EQ(Utf16ToMultiByte(std::string("\x00\xD8"
                                         "A\0",
                                         4),
                             kCodePageUtf8),
            kReplacementUtf8 + "A");
  EXPECT_EQ(Utf16ToMultiByte(std::string("A\0B", 3), kCodePageUtf8), "A");  // odd last byte ignored
  EXPECT_EQ(Utf16ToMultiByte(std::string("A\0", 2), 1252), "");             // unknown code page
  // Round trip of a text holding a character outside GBK.
  const std::string gbk = GbkFromUtf8("\xE5\x90\x89\xF0\xA0\xAE\xB7");
  EXPECT_EQ(Utf16ToMultiByte(MultiByteToUtf16(gbk, kCodePageGbk), kCodePageGbk), gbk);
}

}  // namespace
}  // namespace quillet
