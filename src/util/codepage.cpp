#include "util/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillet {
namespace {

// GBK travels through the GB18030 converter: its one- and two-byte codes are
// GBK byte for byte, and it also holds every other character (four bytes).
enum Charset { kGb18030 = 0, kUtf8 = 1, kUtf16Le = 2, kCharsetCount = 3 };

const char* IconvName(Charset c) {
  switch (c) {
    case kGb18030: return "GB18030";
    case kUtf8: return "UTF-8";
    case kUtf16Le: return "UTF-16LE";
    default: return "";
  }
}

// U+FFFD in each target encoding.
std::string_view Replacement(Charset c) {
  switch (c) {
    case kGb18030: return {"\x84\x31\xA4\x37", 4};
    case kUtf8: return {"\xEF\xBF\xBD", 3};
    case kUtf16Le: return {"\xFD\xFF", 2};
    default: return "?";
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

std::string GbkFromUtf8(std::string_view utf8) { return Convert(utf8, kUtf8, kGb18030); }

std::string Utf8FromGbk(std::string_view gbk) { return Convert(gbk, kGb18030, kUtf8); }

}  // namespace quillet
