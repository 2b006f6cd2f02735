#pragma once
// Code-page conversion over iconv. Program text is GBK; conversions use the
// GB18030 converter, whose one- and two-byte part is GBK byte for byte, so a
// character outside GBK (a rare character in a name) keeps a four-byte form
// instead of becoming a replacement character. Invalid input is never
// rejected: undecodable bytes become U+FFFD (or '?' where that cannot be held).
#include <string>
#include <string_view>

namespace quillet {

constexpr int kCodePageGbk = 936;
constexpr int kCodePageUtf8 = 65001;

// UTF-16LE data including one terminating zero code unit; empty input gives
// just the terminator.
std::string MultiByteToUtf16(std::string_view text, int codePage);
// Converts UTF-16LE data up to its first zero code unit.
std::string Utf16ToMultiByte(std::string_view utf16, int codePage);

std::string GbkFromUtf8(std::string_view utf8);
std::string Utf8FromGbk(std::string_view gbk);

// True when GbkFromUtf8 converts `utf8` one character at a time: every
// character is ASCII or a well-formed two- or three-byte sequence that has a
// GBK (or four-byte GB18030) form of its own. Then converting a piece cut at
// character boundaries gives the matching piece of the whole text's
// conversion, and each ASCII byte keeps its place as a character of its own.
bool GbkFromUtf8GoesByCharacter(std::string_view utf8);

namespace codepage_detail {
// The two conversions done by iconv over the whole text: the references that
// the faster GbkFromUtf8 and Utf8FromGbk must equal byte for byte.
std::string GbkFromUtf8ByIconv(std::string_view utf8);
std::string Utf8FromGbkByIconv(std::string_view gbk);
}  // namespace codepage_detail

// Program text from a UTF-8 source literal: Gbk(u8"成功"). Used once per fixed
// text, by the per-subsystem text tables.
inline std::string Gbk(std::u8string_view literal) {
  return GbkFromUtf8(std::string_view(reinterpret_cast<const char*>(literal.data()), literal.size()));
}

}  // namespace quillet
