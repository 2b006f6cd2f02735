#pragma once
// Well-formed UTF-8, as the standard defines it: no overlong forms, no
// surrogates, nothing above U+10FFFF.
#include <cstddef>
#include <string_view>

namespace quillet {

// Length (1 to 4) of the well-formed UTF-8 sequence at text[i], or 0 when
// the byte there does not start one. i < text.size().
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace quillet
