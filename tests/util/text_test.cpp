#include "util/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "util/codepage.h"

namespace quillet {
namespace {

// GBK bytes used below: 中 D6 D0, 国 B9 FA, 啊 B0 A1; "\xB0\x41" and "\xB0\x7C"
// are double-byte characters whose trail byte looks like 'A' and '|'.

struct FindCase {
  std::string text, sub;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(FindTextTest, Table) {
  const std::vector<FindCase> cases = {
      {"abcb", "b", 1, false, 2},
      {"abcb", "b", 3, false, 4},
      {"abcb", "x", 1, false, -1},
      {"abcb", "b", 0, false, 2},   // below 1 counts as 1
      {"abcb", "b", 5, false, -1},  // start beyond the text
      {"abcb", "", 2, false, 1},    // empty sub, non-empty searched part
      {"", "", 1, false, -1},
      {"abc", "abcd", 1, false, -1},
      {"xABc", "ab", 1, true, 2},
      {"xABc", "ab", 1, false, -1},
      {"\xD6\xD0\xB9\xFA", "\xD0\xB9", 1, false, -1},  // never across two characters
      {"\xD6\xD0\xB9\xFA", "\xB9\xFA", 1, false, 3},
      {"\xB0\x41\x41", "A", 1, false, 3},     // the trail byte is not an 'A'
      {"\xB0\x61", "\xB0\x41", 1, true, -1},  // trail bytes are not case-folded
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindText(c.text, c.sub, c.start, c.ignoreCase), c.expected)
        << "text=" << c.text << " sub=" << c.sub << " start=" << c.start;
  }
}

// Character starts found by walking byte by byte, the plain way.
std::vector<int> SeparatorPositions(const std::string& text, char separator) {
  std::vector<int> positions;
  for (std::size_t i = 0; i < text.size(); i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1) {
    if (text[i] == separator) positions.push_back(static_cast<int>(i) + 1);
  }
  return positions;
}

// Double-byte characters whose trail byte is '|' placed at every offset of
// long ASCII runs: a search must only ever stop at the real separators.
TEST(FindTextTest, TrailBytesNeverMatchAtAnyOffset) {
  for (int prefix = 0; prefix < 20; ++prefix) {
    for (int gap = 0; gap < 12; ++gap) {
      const std::string text = std::string(prefix, 'a') + "\xB0|\xC4\xA1|" + std::string(gap, 'b') + "\xB0|" + "|" +
                               std::string(gap, 'c') + "\xD6\xD0|x";
      const std::vector<int> expected = SeparatorPositions(text, '|');
      std::vector<int> found;
      for (int p = FindText(text, "|"); p != -1; p = FindText(text, "|", p + 1)) found.push_back(p);
      EXPECT_EQ(found, expected) << prefix << "/" << gap;
      EXPECT_EQ(SplitText(text, "|").size(), expected.size() + 1) << prefix << "/" << gap;
      EXPECT_EQ(FindTextBackward(text, "|"), expected.back()) << prefix << "/" << gap;
    }
  }
}

// The search compared with a plain walk over character starts, on texts made
// of pieces that trip a byte-wise search: trail bytes that look like ASCII
// markers, long runs of double-byte characters, letters in both cases.
int PlainFind(const std::string& text, const std::string& sub, int start, bool ignoreCase) {
  const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = static_cast<std::size_t>(start - 1); i + sub.size() <= text.size();
       i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1) {
    bool equal = true;
    for (std::size_t k = 0; k < sub.size() && equal; ++k) {
      const bool trail = k > 0 && static_cast<unsigned char>(sub[k - 1]) >= 0x80 &&
                         (k < 2 || static_cast<unsigned char>(sub[k - 2]) < 0x80);
      const bool folds = ignoreCase && !trail && static_cast<unsigned char>(sub[k]) < 0x80;
      equal = folds ? fold(text[i + k]) == fold(sub[k]) : text[i + k] == sub[k];
    }
    if (equal) return static_cast<int>(i) + 1;
  }
  return -1;
}

TEST(FindTextTest, EqualsPlainWalk) {
  const std::vector<std::string> pieces = {
      "a",        "B", "[", "\"", "|", "\xB0[", "\xB0\"", "\xB0|", "\xB0\x41", "\xD6\xD0", "\xB9\xFA\xB9\xFA\xB9\xFA",
      "\xA1\xA1", "m", "]}"};
  std::mt19937 random(16);
  const auto make = [&](std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    return text;
  };
  for (int round = 0; round < 400; ++round) {
    const std::string text = make(random() % 40);
    std::string sub = make(1 + random() % 2);
    if (random() % 3 == 0) sub = sub.substr(0, 1);  // a single byte, lead bytes among them
    for (const bool ignoreCase : {false, true}) {
      for (int start = 1; start <= static_cast<int>(text.size()); ++start) {
        // Any start is taken as a character start, by both.
        ASSERT_EQ(FindText(text, sub, start, ignoreCase), PlainFind(text, sub, start, ignoreCase))
            << testing::PrintToString(text) << " " << testing::PrintToString(sub) << " " << start << ignoreCase;
      }
    }
  }
}

TEST(FindTextTest, BackwardTable) {
  const std::vector<FindCase> cases = {
      {"abcb", "b", 0, false, 4},                                       // omitted: whole text
      {"abcb", "b", 4, false, 2},                                       // only bytes before position 4
      {"abcb", "b", 9, false, 4},        {"abcb", "bc", 3, false, -1},  // must lie wholly in the window
      {"abcb", "b", 1, false, -1},       {"abcb", "b", -2, false, -1},
      {"aBcb", "B", 0, true, 4},         {"\xD6\xD0\xB9\xFA", "\xD0\xB9", 0, false, -1},
      {"x\xB0\x7C|y", "|", 0, false, 4}, {"\xB0\x7C", "|", 0, false, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindTextBackward(c.text, c.sub, c.start, c.ignoreCase), c.expected)
        << "text=" << c.text << " sub=" << c.sub << " start=" << c.start;
  }
}

TEST(CutTest, LeftRightMid) {
  EXPECT_EQ(LeftText("abc", -2), "");
  EXPECT_EQ(LeftText("abc", 0), "");
  EXPECT_EQ(LeftText("abc", 2), "ab");
  EXPECT_EQ(LeftText("abc", 9), "abc");
  EXPECT_EQ(RightText("abc", 2), "bc");
  EXPECT_EQ(RightText("abc", 9), "abc");
  EXPECT_EQ(RightText("abc", -1), "");
  EXPECT_EQ(MidText("abcdef", 2, 3), "bcd");
  EXPECT_EQ(MidText("abc", 2, 10), "bc");
  EXPECT_EQ(MidText("abc", 0, 2), "");
  EXPECT_EQ(MidText("abc", 4, 1), "");
  EXPECT_EQ(MidText("abc", 1, 0), "");
}

TEST(SpacesTest, TrimAndRemove) {
  struct Case {
    std::string text, trimmed, removed;
  };
  const std::vector<Case> cases = {
      {"\xA1\xA1"
       "a b ",
       "a b", "ab"},
      {" \t a \r\n", "\t a \r\n", "\ta\r\n"},  // tabs and line breaks are not spaces
      {"\xA1\xA1\xA1\xA1", "", ""},
      {"", "", ""},
      // 啊 then the character A1 B0 then a lone A1: there is no full-width space
      // here, although the bytes A1 A1 appear side by side.
      {"\xB0\xA1\xA1\xB0\xA1", "\xB0\xA1\xA1\xB0\xA1", "\xB0\xA1\xA1\xB0\xA1"},
      {"\xB0\xA1\xA1\xA1", "\xB0\xA1", "\xB0\xA1"},  // 啊 followed by a full-width space
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimSpaces(c.text), c.trimmed) << c.text;
    EXPECT_EQ(RemoveSpaces(c.text), c.removed) << c.text;
  }
}

TEST(ReplaceTextTest, Table) {
  struct Case {
    std::string text, find, replacement;
    int start, count;
    bool caseSensitive;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"hhmmhh", "hh", "HH", 1, kAll, true, "HHmmHH"},
      {"hhmmhh", "hh", "HH", 2, kAll, true, "hhmmHH"},  // bytes before start kept
      {"hhmmhh", "hh", "HH", 1, 1, true, "HHmmhh"},
      {"hhmmhh", "hh", "HH", 1, 0, true, "hhmmhh"},
      {"HhmmhH", "hh", "x", 1, kAll, false, "xmmx"},
      {"HhmmhH", "hh", "x", 1, kAll, true, "HhmmhH"},
      {"aaa", "aa", "b", 1, kAll, true, "ba"},  // non-overlapping, left to right
      {"abc", "", "x", 1, kAll, true, "abc"},
      {"abc", "b", "x", 4, kAll, true, "abc"},
      {"", "b", "x", 1, kAll, true, ""},
      {"a-b", "-", "", 1, kAll, true, "ab"},
      {"\xB0\x41"
       "A",
       "A", "z", 1, kAll, true, "\xB0\x41z"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.find, c.replacement, c.start, c.count, c.caseSensitive), c.expected)
        << c.text << " / " << c.find;
  }
}

TEST(SplitTextTest, Table) {
  using Pieces = std::vector<std::string>;
  struct Case {
    std::string text, separator;
    int max;
    Pieces expected;
  };
  const std::vector<Case> cases = {
      {"a,,b,", ",", kAll, {"a", "", "b"}},
      {",a", ",", kAll, {"", "a"}},
      {",", ",", kAll, {""}},
      {"", ",", kAll, {}},
      {"a,b", "", kAll, {"a,b"}},
      {"a|b|c", "|", 2, {"a", "b"}},
      {"a; b; c", "; ", kAll, {"a", "b", "c"}},
      {"x\xB0\x7C|y", "|", kAll, {"x\xB0\x7C", "y"}},  // a trail byte 0x7C is no separator
  };
  for (const auto& c : cases) EXPECT_EQ(SplitText(c.text, c.separator, c.max), c.expected) << c.text;
}

TEST(ConversionTest, LowerAndInteger) {
  EXPECT_EQ(ToLowerAscii("AbC\xB0\x41Z"), "abc\xB0\x41z");

  const std::string fullMinus12 = Gbk(u8"－１２");
  const std::string fullPlus7 = Gbk(u8"＋７年");
  struct Case {
    std::string text;
    int expected;
  };
  const std::vector<Case> cases = {
      {"123", 123},
      {"  -42x", -42},
      {"\t+5", 5},
      {"abc", 0},
      {"", 0},
      {fullMinus12, -12},
      {fullPlus7, 7},
      {"1" + Gbk(u8"２") + "3", 123},
      {"- 5", 0},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(ToInteger(c.text), c.expected) << c.text;
}

TEST(ConversionTest, LengthCompareTruncate) {
  EXPECT_EQ(TextLength(std::string("ab\0c", 4)), 2);
  EXPECT_EQ(TextLength("\xD6\xD0"), 2);
  EXPECT_EQ(CompareTexts("a", "b"), -1);
  EXPECT_EQ(CompareTexts("b", "a"), 1);
  EXPECT_EQ(CompareTexts("", ""), 0);
  EXPECT_EQ(CompareTexts("\x80", "a"), 1);  // unsigned bytes
  EXPECT_EQ(CompareTexts("ab", "a"), 1);
  EXPECT_EQ(TruncateToInt(2.9), 2);
  EXPECT_EQ(TruncateToInt(-2.9), -2);
  EXPECT_EQ(ConcatTexts(std::string("a"), "b", std::string_view("c")), "abc");
}

TEST(MarkerTest, TextBefore) {
  EXPECT_EQ(TextBefore("abc[xy]", "["), "abc");
  EXPECT_EQ(TextBefore("abc[xy]", "("), "");
  EXPECT_EQ(TextBefore("[a[b", "[", 2), "[a");
  EXPECT_EQ(TextBefore("[a", "[", 0), "");
}

TEST(MarkerTest, TextBetween) {
  struct Case {
    std::string text, open, close;
    int start;
    bool ignoreCase;
    std::string expected;
  };
  const std::string quote = Gbk(u8"#引号");
  const std::vector<Case> cases = {
      {"abc[xy]def", "[", "]", 1, false, "xy"},
      {"abc[xy]def", "[", ")", 1, false, ""},
      {"abc[xy]def", "[", "[", 1, false, ""},  // end marker only after the start marker
      {"a]b[c", "[", "]", 1, false, ""},       // an end marker before the start does not count
      {"a[]b", "[", "]", 1, false, ""},
      {"[a][b]", "[", "]", 3, false, "b"},
      {"xKEY=1;", "key=", ";", 1, true, "1"},
      {"k=\"v\",", "k=" + quote, quote, 1, false, "v"},
      {"a#b", "a#", "b", 1, false, ""},  // a '#' that is not the quote word stays
      {"\xD6\xD0[\xB9\xFA]", "[", "]", 1, false, "\xB9\xFA"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextBetween(c.text, c.open, c.close, c.start, c.ignoreCase), c.expected) << c.text;
  }
}

TEST(MarkerTest, TextAfterLast) {
  EXPECT_EQ(TextAfterLast("a|b|c", "|"), "c");
  EXPECT_EQ(TextAfterLast("\xB1\xB1\xBE\xA9|BJP", "|"), "BJP");
  EXPECT_EQ(TextAfterLast("abc", "|"), "");
  EXPECT_EQ(TextAfterLast("", "|"), "");
  // Without a start the last byte is outside the window, so a marker that
  // ends the text is skipped for an earlier one.
  EXPECT_EQ(TextAfterLast("a|b|", "|"), "b|");
  EXPECT_EQ(TextAfterLast("ab|", "|"), "");
  EXPECT_EQ(TextAfterLast("a|b|c", "|", 4), "b|c");
  EXPECT_EQ(TextAfterLast("a::b::c", "::"), "c");
}

TEST(VisibleControlsTest, ControlCharactersBecomeEscapesAndTheRestStays) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"plain text, 二等座", "plain text, 二等座"},
      {"\x1b]0;owned\x07title", "\\x1b]0;owned\\x07title"},
      {"\x1b[2J\x1b[Hcleared", "\\x1b[2J\\x1b[Hcleared"},
      {"refused\r\nwish 1: BOOKED G1", "refused\\x0d\\x0awish 1: BOOKED G1"},
      {"tab\tnul", "tab\\x09nul"},
      {std::string_view("a\0b", 3), "a\\x00b"},
      {"del\x7f", "del\\x7f"},
      {"\xc2\x9b"
       "31mred \xc2\x85 \xc2\xa0",
       "\\u009b31mred \\u0085 \xc2\xa0"},  // CSI and NEL; no-break space stays
      {"\xc2", "\xc2"},                    // a cut-off sequence is not a control character
  };
  for (const auto& c : cases) EXPECT_EQ(VisibleControls(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace quillet
