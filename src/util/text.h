#pragma once
// Text and array helpers on GBK byte strings.
//
// Positions are one-based byte positions; "not found" is -1. A byte of 0x80
// or above starts a double-byte character together with the byte after it,
// and every search steps over both bytes, so a match only ever begins at a
// character start. "Spaces" are the ASCII space and the full-width space
// (the byte pair A1 A1); tabs and line breaks are not spaces.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

constexpr int kNotFound = -1;
constexpr int kAll = -1;  // "no limit" for counts and piece numbers

int FindText(std::string_view text, std::string_view sub, int start = 1, bool ignoreCase = false);
// Last occurrence lying wholly before position `start`; start == 0 means
// "omitted" (search the whole text). A start of 1 or less (given) finds nothing.
int FindTextBackward(std::string_view text, std::string_view sub, int start = 0, bool ignoreCase = false);

std::string LeftText(std::string_view text, int n);
std::string RightText(std::string_view text, int n);
std::string MidText(std::string_view text, int start, int n);
std::string TrimSpaces(std::string_view text);
std::string_view TrimSpacesView(std::string_view text);  // the same, as a view into `text`
std::string RemoveSpaces(std::string_view text);
std::string ReplaceText(std::string_view text, std::string_view find, std::string_view replacement = {}, int start = 1,
                        int count = kAll, bool caseSensitive = true);
// Empty pieces between separators are kept, none follows a final separator;
// max limits the number of pieces (kAll or any negative: no limit; 0: none).
std::vector<std::string> SplitText(std::string_view text, std::string_view separator = ",", int max = kAll);
std::string ToLowerAscii(std::string_view text);
int ToInteger(std::string_view text);
int TextLength(std::string_view text);
int CompareTexts(std::string_view a, std::string_view b);
int TruncateToInt(double value);

template <typename... Texts>
std::string ConcatTexts(const Texts&... texts) {
  std::string out;
  (out.append(std::string_view(texts)), ...);
  return out;
}

// Marker operations.
std::string TextBefore(std::string_view text, std::string_view marker, int start = 1, bool ignoreCase = false);
// Both markers may spell a double quote as the word "#引号" (in GBK).
std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker, int start = 1,
                        bool ignoreCase = false);
// start == 0 means omitted: the search window is then the text without its last byte.
std::string TextAfterLast(std::string_view text, std::string_view marker, int start = 0, bool ignoreCase = false);

// For a terminal: UTF-8 text with every control character (C0, DEL and the
// C1 range U+0080 to U+009F) written as a visible escape, "\x1b" or
// "\u009b", so that text from outside can neither move the cursor, retitle
// the window nor break a line in two. Everything else is kept as it is.
std::string VisibleControls(std::string_view utf8);

// The value of a hexadecimal digit, either case; -1 for any other character.
int HexDigitValue(char c);

}  // namespace quillet
