#pragma once
// Splits a fuzz input into texts at zero bytes, so one input can carry a
// text and the markers to search it with.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::fuzz {

inline std::vector<std::string> SplitInput(const std::uint8_t* data, std::size_t size, std::size_t parts) {
  std::vector<std::string> texts;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (texts.size() + 1 < parts) {
    const std::size_t zero = rest.find('\0');
    if (zero == std::string_view::npos) break;
    texts.emplace_back(rest.substr(0, zero));
    rest.remove_prefix(zero + 1);
  }
  texts.emplace_back(rest);
  texts.resize(parts);
  return texts;
}

// Aborts the run (a finding) when a property does not hold.
inline void Require(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace quillet::fuzz
