#pragma once
// Deterministic hashing and random numbers. Everything the service invents
// (trains, tokens, captchas, order ids) comes from these, so the same seed
// and the same requests give the same answers on every run and machine.
#include <cstdint>
#include <string_view>

namespace quillet::sim {

inline std::uint64_t Finalize64(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

inline std::uint64_t Mix64(std::uint64_t z) { return Finalize64(z + 0x9e3779b97f4a7c15ULL); }

// FNV-1a over the bytes, then mixed with the seed.
inline std::uint64_t HashText(std::uint64_t seed, std::string_view text) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return Mix64(h ^ Mix64(seed));
}

// splitmix64: small, fast and identical on every platform (the standard
// distributions are not).
class Rng {
 public:
  explicit Rng(std::uint64_t seed = 0) : state_(seed) {}
  std::uint64_t Next() {
    state_ += 0x9e3779b97f4a7c15ULL;
    return Finalize64(state_);
  }
  // Uniform in [0, n); n must be positive.
  std::uint64_t Below(std::uint64_t n) { return Next() % n; }
  // Uniform in [lo, hi].
  int Between(int lo, int hi) { return lo + static_cast<int>(Below(static_cast<std::uint64_t>(hi - lo + 1))); }
  // True with the given probability (0 to 1).
  bool Chance(double p) { return static_cast<double>(Next() >> 11) * 0x1.0p-53 < p; }

 private:
  std::uint64_t state_;
};

}  // namespace quillet::sim
