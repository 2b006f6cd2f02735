#pragma once
// How much the page's server takes on.
#include <chrono>
#include <cstddef>

namespace quillet::web {

inline constexpr std::size_t kMaxClients = 32;           // live pages at once
inline constexpr std::size_t kMaxBodyBytes = 16 * 1024;  // of a request
inline constexpr int kIdleSeconds = 5;                   // a quiet connection is closed after it
// A live page hears at least this often that the run is there.
inline constexpr std::chrono::seconds kKeepAliveBeat{15};

}  // namespace quillet::web
