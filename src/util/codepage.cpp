#include "util/codepage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace quillet {
namespace {

// GBK travels through the GB18030 converter: its one- and two-byte codes are
// GBK byte for byte, and it also holds every other character (four bytes).
enum Charset { kGb18030 = 0, kUtf8 = 1, kUtf16Le = 2, kCharsetCount = 3 };

const char* IconvName(Charset c) {
  switch (c) {
    case kGb18030:
      return "GB18030";
    case kUtf8:
      return "UTF-8";
    case kUtf16Le:
      return "UTF-16LE";
    default:
      return "";
  }
}

// U+FFFD in each target encoding.
std::string_view Replacement(Charset c) {
  switch (c) {
    case kGb18030:
      return {"\x84\x31\xA4\x37", 4};
    case kUtf8:
      return {"\xEF\xBF\xBD", 3};
    case kUtf16Le:
      return {"\xFD\xFF", 2};
    default:
      return "?";
  }
}

std::size_t UnitSize(Charset c) { return c == kUtf16Le ? 2 : 1; }

const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);

// iconv descriptors carry conversion state and are not thread-safe, so each
// thread opens its own on first use and closes them when it ends.
class ThreadConverters {
 public:
  ThreadConverters() {
    for (auto& row : cds_) std::fill(std::begin(row), std::end(row), kInvalid);
  }
  ~ThreadConverters() {
    for (auto& row : cds_) {
      for (iconv_t cd : row) {
        if (cd != kInvalid) iconv_close(cd);
      }
    }
  }
  ThreadConverters(const ThreadConverters&) = delete;
  ThreadConverters& operator=(const ThreadConverters&) = delete;

  iconv_t Get(Charset from, Charset to) {
    iconv_t& cd = cds_[from][to];
    if (cd == kInvalid) cd = iconv_open(IconvName(to), IconvName(from));
    return cd;
  }

 private:
  iconv_t cds_[kCharsetCount][kCharsetCount];
};

ThreadConverters& Converters() {
  thread_local ThreadConverters converters;
  return converters;
}

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Converts the whole input. Bytes the source encoding cannot decode become
// U+FFFD in the target and conversion goes on after them; an incomplete
// sequence at the end becomes one U+FFFD.
std::string Convert(std::string_view in, Charset from, Charset to) {
  if (in.empty()) return {};
  if (from != kUtf16Le && to != kUtf16Le && IsAscii(in)) return std::string(in);

  iconv_t cd = Converters().Get(from, to);
  if (cd == kInvalid) return {};
  iconv(cd, nullptr, nullptr, nullptr, nullptr);

  std::string out;
  out.resize(in.size() * 2 + 16);
  std::size_t used = 0;
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  const std::string_view replacement = Replacement(to);

  while (inLeft > 0) {
    char* outPtr = out.data() + used;
    std::size_t outLeft = out.size() - used;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    used = out.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ (undecodable here) or EINVAL (cut short at the end).
    const bool incomplete = errno == EINVAL;
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    std::memcpy(out.data() + used, replacement.data(), replacement.size());
    used += replacement.size();
    const std::size_t skip = incomplete ? inLeft : std::min(UnitSize(from), inLeft);
    inPtr += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return out;
}

bool CharsetOf(int codePage, Charset& out) {
  if (codePage == kCodePageGbk) {
    out = kGb18030;
    return true;
  }
  if (codePage == kCodePageUtf8) {
    out = kUtf8;
    return true;
  }
  return false;
}

}  // namespace

std::string MultiByteToUtf16(std::string_view text, int codePage) {
  Charset from;
  std::string out;
  if (CharsetOf(codePage, from)) out = Convert(text, from, kUtf16Le);
  out.append(2, '\0');
  return out;
}

std::string Utf16ToMultiByte(std::string_view utf16, int codePage) {
  Charset to;
  if (!CharsetOf(codePage, to)) return {};
  std::size_t units = utf16.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    if (utf16[2 * i] == '\0' && utf16[2 * i + 1] == '\0') {
      units = i;
      break;
    }
  }
  return Convert(utf16.substr(0, units * 2), kUtf16Le, to);
}

namespace {

// Answers are mostly ASCII with some Chinese text, and iconv costs some 40
// instructions a byte even for ASCII. The fast conversions copy ASCII eight
// bytes at a time and take each common character (a two- or three-byte UTF-8
// sequence, a two-byte GBK code) from a table of the bytes that iconv gave
// for it once, process-wide. Anything else (a four-byte or malformed
// sequence, or a character iconv did not convert cleanly) hands the rest of
// the text to iconv, which starts from a fresh state there: the converters
// are stateless and the part before ends at a character boundary, so the
// result is byte for byte iconv's.
template <std::size_t kEntries, Charset kFrom, Charset kTo>
class CharacterTable {
 public:
  // The converted form of the character `bytes` with table index `index`:
  // up to four bytes, low byte first, and the count in bits 32..39. Zero
  // when iconv does not convert the character cleanly.
  std::uint64_t Lookup(std::size_t index, std::string_view bytes) {
    std::atomic<std::uint64_t>& entry = entries_[index];
    std::uint64_t packed = entry.load(std::memory_order_relaxed);
    if (packed == kUnknown) {
      packed = ConvertOne(bytes);
      entry.store(packed, std::memory_order_relaxed);
    }
    return packed == kNotClean ? 0 : packed;
  }

 private:
  static constexpr std::uint64_t kUnknown = 0;
  static constexpr std::uint64_t kNotClean = 1;

  static std::uint64_t ConvertOne(std::string_view bytes) {
    iconv_t cd = Converters().Get(kFrom, kTo);
    if (cd == kInvalid) return kNotClean;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char out[8];
    char* inPtr = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out;
    std::size_t outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return kNotClean;
    const std::size_t length = sizeof out - outLeft;
    if (length == 0 || length > 4) return kNotClean;
    std::uint64_t packed = static_cast<std::uint64_t>(length) << 32;
    for (std::size_t i = 0; i < length; ++i)
      packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(out[i])) << (8 * i);
    return packed;
  }

  std::atomic<std::uint64_t> entries_[kEntries] = {};
};

constexpr std::size_t kGbkLeadCount = 0xFE - 0x81 + 1;
constinit CharacterTable<0x10000, kUtf8, kGb18030> gUtf8ToGb18030;          // by code point
constinit CharacterTable<kGbkLeadCount * 256, kGb18030, kUtf8> gGbkToUtf8;  // by lead and trail byte

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

struct TableCharacter {
  std::size_t length = 0;  // 0: not one for the table
  std::size_t index = 0;
};

// A well-formed two- or three-byte UTF-8 sequence (surrogates excluded),
// indexed by its code point.
TableCharacter Utf8Character(const unsigned char* data, std::size_t size) {
  const unsigned char lead = data[0];
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (size < 2 || !IsContinuation(data[1])) return {};
    return {2, (static_cast<std::size_t>(lead & 0x1F) << 6) | (data[1] & 0x3F)};
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (size < 3 || !IsContinuation(data[1]) || !IsContinuation(data[2])) return {};
    if (lead == 0xE0 && data[1] < 0xA0) return {};   // overlong
    if (lead == 0xED && data[1] >= 0xA0) return {};  // surrogate
    return {3, (static_cast<std::size_t>(lead & 0x0F) << 12) | (static_cast<std::size_t>(data[1] & 0x3F) << 6) |
                   (data[2] & 0x3F)};
  }
  return {};
}

// A two-byte GB18030 code (a lead byte 81..FE and a trail byte that does not
// start a four-byte code), indexed by its two bytes.
TableCharacter GbkCharacter(const unsigned char* data, std::size_t size) {
  const unsigned char lead = data[0];
  if (lead < 0x81 || lead > 0xFE || size < 2 || (data[1] >= 0x30 && data[1] <= 0x39)) return {};
  return {2, static_cast<std::size_t>(lead - 0x81) * 256 + data[1]};
}

template <typename Table, typename Character>
std::string ConvertByTable(std::string_view text, Table& table, Charset from, Charset to, Character character) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  constexpr std::size_t kSlack = 8;
  const char* in = text.data();
  const std::size_t size = text.size();
  // Kept true: out.size() >= used + (size - i) + kSlack, so that an ASCII
  // byte always has its place and eight bytes may be stored at `used`.
  std::string out(size + kSlack, '\0');
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < size) {
    if (std::endian::native == std::endian::little && size - i >= 8) {
      // Store eight bytes and keep those before the first non-ASCII one.
      std::uint64_t word;
      std::memcpy(&word, in + i, sizeof word);
      std::memcpy(out.data() + used, &word, sizeof word);
      const std::uint64_t high = word & kHighBits;
      const std::size_t ascii = high == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(high)) / 8;
      used += ascii;
      i += ascii;
      if (ascii == 8) continue;
    } else if (static_cast<unsigned char>(in[i]) < 0x80) {
      out[used++] = in[i++];
      continue;
    }

    const TableCharacter c = character(reinterpret_cast<const unsigned char*>(in) + i, size - i);
    const std::uint64_t packed = c.length == 0 ? 0 : table.Lookup(c.index, text.substr(i, c.length));
    if (packed == 0) {
      out.resize(used);
      out += Convert(text.substr(i), from, to);
      return out;
    }
    char* at = out.data() + used;
    if constexpr (std::endian::native == std::endian::little) {
      const auto bytes = static_cast<std::uint32_t>(packed);  // low byte first
      std::memcpy(at, &bytes, sizeof bytes);
    } else {
      for (std::size_t b = 0; b < 4; ++b) at[b] = static_cast<char>((packed >> (8 * b)) & 0xFF);
    }
    used += static_cast<std::size_t>(packed >> 32);
    i += c.length;
    if (out.size() < used + (size - i) + kSlack) out.resize(std::max(out.size() * 2, used + (size - i) + kSlack));
  }
  out.resize(used);
  return out;
}

}  // namespace

std::string GbkFromUtf8(std::string_view utf8) {
  return ConvertByTable(utf8, gUtf8ToGb18030, kUtf8, kGb18030, Utf8Character);
}

std::string Utf8FromGbk(std::string_view gbk) { return ConvertByTable(gbk, gGbkToUtf8, kGb18030, kUtf8, GbkCharacter); }

bool GbkFromUtf8GoesByCharacter(std::string_view utf8) {
  const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t size = utf8.size();
  std::size_t i = 0;
  for (;;) {
    // Over the ASCII run, sixteen bytes at a time where the processor allows.
#if defined(__SSE2__)
    while (size - i >= 16) {
      const auto high =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i))));
      if (high != 0) {
        i += static_cast<std::size_t>(std::countr_zero(high));
        break;
      }
      i += 16;
    }
#endif
    while (i < size && in[i] < 0x80) ++i;
    if (i == size) return true;
    // The run of other characters. Chinese text is three-byte sequences led
    // by E1..EC, which can be neither overlong nor surrogates: those are
    // decoded right here.
    do {
      TableCharacter c;
      const unsigned char lead = in[i];
      if (lead >= 0xE1 && lead <= 0xEC && size - i >= 3 && IsContinuation(in[i + 1]) && IsContinuation(in[i + 2])) {
        c = {3, (static_cast<std::size_t>(lead & 0x0F) << 12) | (static_cast<std::size_t>(in[i + 1] & 0x3F) << 6) |
                    (in[i + 2] & 0x3F)};
      } else {
        c = Utf8Character(in + i, size - i);
        if (c.length == 0) return false;
      }
      if (gUtf8ToGb18030.Lookup(c.index, utf8.substr(i, c.length)) == 0) return false;
      i += c.length;
    } while (i < size && in[i] >= 0x80);
  }
}

namespace codepage_detail {

std::string GbkFromUtf8ByIconv(std::string_view utf8) { return Convert(utf8, kUtf8, kGb18030); }
std::string Utf8FromGbkByIconv(std::string_view gbk) { return Convert(gbk, kGb18030, kUtf8); }

}  // namespace codepage_detail

}  // namespace quillet
