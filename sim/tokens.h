#pragma once
// The opaque tokens of the left-ticket answer. secretStr names one train of
// one date between two stations and carries a check value, so the service
// can tell it back without remembering it; leftTicket is a per-train text.
#include <cstdint>
#include <optional>
#include <string>

namespace quillet::sim {

struct TrainRef {
  std::string date;  // yyyy-MM-dd
  std::string fromTelecode;
  std::string toTelecode;
  std::string trainCode;
};

class TokenMaker {
 public:
  explicit TokenMaker(std::uint64_t seed) : seed_(seed) {}

  // Base64 text, percent-encoded as it stands in the answer (holds %2B, %2F and %3D).
  std::string SecretStr(const TrainRef& ref) const;
  // Takes the decoded (plain base64) form; nothing when it is not one of ours.
  std::optional<TrainRef> ReadSecretStr(const std::string& base64) const;

  // The train's leftTicket text in plain base64 (the query sends it percent-encoded).
  std::string LeftTicket(const TrainRef& ref) const;

 private:
  std::string Check(const TrainRef& ref) const;
  std::uint64_t seed_;
};

}  // namespace quillet::sim
