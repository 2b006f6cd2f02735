#include "util/text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "util/codepage.h"

namespace quillet {
namespace {

inline bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }
inline std::size_t CharWidth(char c) { return IsLeadByte(c) ? 2 : 1; }

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares `sub` with the bytes at `at`, folding ASCII letters of single-byte
// characters only (the trail byte of a double-byte character is compared exactly).
bool EqualsFolded(const char* at, std::string_view sub) {
  for (std::size_t i = 0; i < sub.size(); ++i) {
    if (IsLeadByte(sub[i])) {
      if (at[i] != sub[i]) return false;
      if (++i < sub.size() && at[i] != sub[i]) return false;
    } else if (FoldAscii(at[i]) != FoldAscii(sub[i])) {
      return false;
    }
  }
  return true;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// How common a byte is in the service's answers, lower for rarer: JSON
// brackets and script punctuation, then other punctuation, then quotes,
// separators and the characters of encoded values, then letters, digits and
// Chinese text.
int Commonness(unsigned char c) {
  if (c >= 0x80 || (c >= '0' && c <= '9') || IsAsciiLetter(static_cast<char>(c))) return 3;
  switch (c) {
    case '[':
    case ']':
    case '{':
    case '}':
    case '\'':
    case '=':
    case ';':
    case '<':
    case '>':
    case '(':
    case ')':
    case '#':
      return 0;
    case '"':
    case ',':
    case ':':
    case '|':
    case '%':
    case ' ':
    case '-':
    case '.':
    case '/':
    case '_':
    case '+':
      return 2;
    default:
      return 1;
  }
}

// The index of the byte of `sub` that the search jumps between: the rarest
// one, or npos when every byte is a letter and the search ignores case.
std::size_t AnchorIndex(std::string_view sub, bool ignoreCase) {
  std::size_t best = std::string_view::npos;
  int bestRank = 4;
  for (std::size_t i = 0; i < sub.size(); ++i) {
    if (ignoreCase && IsAsciiLetter(sub[i])) continue;
    const int rank = Commonness(static_cast<unsigned char>(sub[i]));
    if (rank < bestRank) {
      best = i;
      bestRank = rank;
      if (rank == 0) break;
    }
  }
  return best;
}

// Whether offset `k` starts a character, given that `known` (<= k) does. A
// byte below 0x80 is followed by a character start whether it is a
// character or the trail of one, so only the run of high bytes right before
// `k` needs counting: every character in it takes two bytes.
bool IsCharStart(const char* data, std::size_t known, std::size_t k) {
  std::size_t p = k;
  while (p > known && IsLeadByte(data[p - 1])) --p;
  return (k - p) % 2 == 0;
}

// Zero-based offset of the first occurrence of sub at a character start at or
// after `from` (itself taken as a character start), or npos. sub is non-empty.
std::size_t FindFrom(std::string_view text, std::string_view sub, std::size_t from, bool ignoreCase) {
  const std::size_t n = text.size();
  const std::size_t m = sub.size();
  if (m > n) return std::string_view::npos;
  const std::size_t lastStart = n - m;
  const char* data = text.data();
  const std::size_t anchor = AnchorIndex(sub, ignoreCase);
  if (anchor == std::string_view::npos) {
    for (std::size_t i = from; i <= lastStart; i += CharWidth(data[i])) {
      if (EqualsFolded(data + i, sub)) return i;
    }
    return std::string_view::npos;
  }
  // Jump to the places where the anchor byte stands, compare, and only then
  // ask whether the place is a character start.
  std::size_t known = from;
  for (std::size_t k = from; k <= lastStart; ++k) {
    const void* hit = std::memchr(data + k + anchor, sub[anchor], lastStart - k + 1);
    if (hit == nullptr) return std::string_view::npos;
    k = static_cast<std::size_t>(static_cast<const char*>(hit) - data) - anchor;
    const bool equal = ignoreCase ? EqualsFolded(data + k, sub) : m == 1 || std::memcmp(data + k, sub.data(), m) == 0;
    if (!equal) continue;
    if (IsCharStart(data, known, k)) return k;
    known = k + 1;  // k is the trail of a character
  }
  return std::string_view::npos;
}

bool IsSpaceAt(std::string_view text, std::size_t i) {
  return text[i] == ' ' || (text[i] == '\xA1' && i + 1 < text.size() && text[i + 1] == '\xA1');
}

const std::string& QuoteWord() {
  static const std::string word = Gbk(u8"#引号");
  return word;
}

// A marker with every "#引号" replaced by a double quote; the common case of a
// marker without '#' is passed through without a copy.
std::string_view ExpandQuoteWord(std::string_view marker, std::string& storage) {
  if (marker.find('#') == std::string_view::npos) return marker;
  storage = ReplaceText(marker, QuoteWord(), "\"");
  return storage;
}

}  // namespace

int FindText(std::string_view text, std::string_view sub, int start, bool ignoreCase) {
  if (start < 1) start = 1;
  const std::size_t from = static_cast<std::size_t>(start) - 1;
  if (from >= text.size()) return kNotFound;
  if (sub.empty()) return 1;
  const std::size_t at = FindFrom(text, sub, from, ignoreCase);
  return at == std::string_view::npos ? kNotFound : static_cast<int>(at) + 1;
}

int FindTextBackward(std::string_view text, std::string_view sub, int start, bool ignoreCase) {
  if (start < 0 || start == 1) return kNotFound;
  std::string_view window = text;
  if (start > 1 && static_cast<std::size_t>(start) - 1 < text.size()) window = text.substr(0, start - 1);
  if (sub.empty() || window.empty()) return kNotFound;
  int last = kNotFound;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = FindFrom(window, sub, from, ignoreCase);
    if (at == std::string_view::npos) break;
    last = static_cast<int>(at) + 1;
    from = at + CharWidth(window[at]);
  }
  return last;
}

std::string LeftText(std::string_view text, int n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string RightText(std::string_view text, int n) {
  if (n <= 0) return {};
  const std::size_t count = static_cast<std::size_t>(n);
  if (count >= text.size()) return std::string(text);
  return std::string(text.substr(text.size() - count));
}

std::string MidText(std::string_view text, int start, int n) {
  if (start < 1 || n <= 0 || static_cast<std::size_t>(start) > text.size()) return {};
  return std::string(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

std::string TrimSpaces(std::string_view text) { return std::string(TrimSpacesView(text)); }

std::string_view TrimSpacesView(std::string_view text) {
  // Nothing to trim unless an end holds a space byte or the byte of a full-width space.
  const auto mayBeSpace = [](char c) { return c == ' ' || c == '\xA1'; };
  if (text.empty() || (!mayBeSpace(text.front()) && !mayBeSpace(text.back()))) return text;
  std::size_t i = 0;
  while (i < text.size() && IsSpaceAt(text, i)) i += text[i] == ' ' ? 1 : 2;
  // Walk forward so that a trailing A1 A1 is only taken at a character start.
  std::size_t end = i;
  for (std::size_t k = i; k < text.size();) {
    if (IsSpaceAt(text, k)) {
      k += text[k] == ' ' ? 1 : 2;
    } else {
      k += CharWidth(text[k]);
      end = std::min(k, text.size());
    }
  }
  return text.substr(i, end - i);
}

std::string RemoveSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size();) {
    if (IsSpaceAt(text, k)) {
      k += text[k] == ' ' ? 1 : 2;
      continue;
    }
    const std::size_t w = std::min(CharWidth(text[k]), text.size() - k);
    out.append(text.data() + k, w);
    k += w;
  }
  return out;
}

std::string ReplaceText(std::string_view text, std::string_view find, std::string_view replacement, int start,
                        int count, bool caseSensitive) {
  if (start < 1) start = 1;
  const std::size_t from = static_cast<std::size_t>(start) - 1;
  if (text.empty() || find.empty() || from >= text.size() || count == 0) return std::string(text);
  std::string out;
  out.reserve(text.size());
  out.append(text.substr(0, from));
  std::size_t pos = from;
  int done = 0;
  while (count < 0 || done < count) {
    const std::size_t at = FindFrom(text, find, pos, !caseSensitive);
    if (at == std::string_view::npos) break;
    out.append(text.substr(pos, at - pos));
    out.append(replacement);
    pos = at + find.size();
    ++done;
  }
  out.append(text.substr(pos));
  return out;
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator, int max) {
  std::vector<std::string> pieces;
  if (text.empty() || max == 0) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t pos = 0;
  while (pos < text.size() && (max < 0 || pieces.size() < static_cast<std::size_t>(max))) {
    const std::size_t at = FindFrom(text, separator, pos, false);
    if (at == std::string_view::npos) {
      pieces.emplace_back(text.substr(pos));
      break;
    }
    pieces.emplace_back(text.substr(pos, at - pos));
    pos = at + separator.size();
  }
  return pieces;
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(out[i])) {
      ++i;  // leave the trail byte alone
    } else {
      out[i] = FoldAscii(out[i]);
    }
  }
  return out;
}

int ToInteger(std::string_view text) {
  // Full-width digits are A3 B0..A3 B9, the signs A3 AB (plus) and A3 AD (minus).
  std::size_t i = 0;
  auto next = [&](char& c) -> bool {
    if (i >= text.size()) return false;
    if (text[i] == '\xA3' && i + 1 < text.size()) {
      const unsigned char t = static_cast<unsigned char>(text[i + 1]);
      if (t >= 0xB0 && t <= 0xB9) {
        c = static_cast<char>('0' + (t - 0xB0));
      } else if (t == 0xAB) {
        c = '+';
      } else if (t == 0xAD) {
        c = '-';
      } else {
        c = '\0';  // another full-width character ends the number
      }
      i += 2;
      return true;
    }
    c = IsLeadByte(text[i]) ? '\0' : text[i];
    i += CharWidth(text[i]);
    return true;
  };
  char c = 0;
  bool have = next(c);
  while (have && (c == ' ' || (c >= '\t' && c <= '\r'))) have = next(c);
  bool negative = false;
  if (have && (c == '+' || c == '-')) {
    negative = c == '-';
    have = next(c);
  }
  long long value = 0;
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  while (have && c >= '0' && c <= '9') {
    if (value < kLimit) value = value * 10 + (c - '0');  // saturate instead of overflowing
    have = next(c);
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

int TextLength(std::string_view text) {
  const void* zero = std::memchr(text.data(), '\0', text.size());
  const std::size_t n = zero ? static_cast<const char*>(zero) - text.data() : text.size();
  return static_cast<int>(n);
}

int CompareTexts(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

std::string TextBefore(std::string_view text, std::string_view marker, int start, bool ignoreCase) {
  const int p = FindText(text, marker, start < 1 ? 1 : start, ignoreCase);
  if (p == kNotFound) return {};
  return LeftText(text, p - 1);
}

std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker, int start,
                        bool ignoreCase) {
  std::string startStorage;
  std::string endStorage;
  const std::string_view open = ExpandQuoteWord(startMarker, startStorage);
  const std::string_view close = ExpandQuoteWord(endMarker, endStorage);
  int p = FindText(text, open, start, ignoreCase);
  if (p == kNotFound) return {};
  p += TextLength(open);
  const int q = FindText(text, close, p, ignoreCase);
  if (q == kNotFound) return {};
  return MidText(text, p, q - p);
}

std::string TextAfterLast(std::string_view text, std::string_view marker, int start, bool ignoreCase) {
  const int length = TextLength(text);
  // Without a start the window is the text minus its last byte; a start of 0
  // on an empty text must not turn into "whole text".
  const int window = start != 0 ? start : length;
  if (window == 0) return {};
  const int p = FindTextBackward(text, marker, window, ignoreCase);
  if (p == kNotFound) return {};
  return RightText(text, length - TextLength(marker) - p + 1);
}

std::string VisibleControls(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0f];
      continue;
    }
    // U+0080 to U+009F are the two bytes C2 80 to C2 9F.
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if (byte == 0xc2 && next >= 0x80 && next <= 0x9f) {
      out += "\\u00";
      out += kHex[next >> 4];
      out += kHex[next & 0x0f];
      ++i;
      continue;
    }
    out += static_cast<char>(byte);
  }
  return out;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace quillet
