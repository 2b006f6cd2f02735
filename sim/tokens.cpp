#include "tokens.h"

#include <cstdio>
#include <vector>

#include "rng.h"
#include "text_codec.h"

namespace quillet::sim {

namespace {
// Three bytes that encode as "+/+/" at a three-byte boundary: every token then needs
// percent-encoding, as the service's own did.
constexpr char kLead[] = "\xFB\xFF\xBF";

std::string Joined(const TrainRef& ref) {
  return ref.date + "|" + ref.fromTelecode + "|" + ref.toTelecode + "|" + ref.trainCode;
}
}  // namespace

std::string TokenMaker::Check(const TrainRef& ref) const {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(HashText(seed_, "secret:" + Joined(ref))));
  return std::string(buf, 10);
}

// Three bytes that vary from token to token come first, so the texts do not
// all begin alike.
std::string TokenMaker::SecretStr(const TrainRef& ref) const {
  const std::uint64_t h = HashText(seed_, "secret-head:" + Joined(ref));
  std::string payload = {static_cast<char>(h), static_cast<char>(h >> 8), static_cast<char>(h >> 16)};
  payload += std::string(kLead) + Joined(ref) + "|" + Check(ref);
  if (payload.size() % 3 == 0) payload += "|";  // keep the "=" padding
  return PercentEncode(Base64Encode(payload));
}

std::optional<TrainRef> TokenMaker::ReadSecretStr(const std::string& base64) const {
  std::string payload;
  if (!Base64Decode(base64, payload) || payload.size() < 6 || payload.compare(3, 3, kLead) != 0) return std::nullopt;
  std::vector<std::string> parts;
  std::size_t pos = 6;
  while (true) {
    const std::size_t bar = payload.find('|', pos);
    parts.push_back(payload.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos));
    if (bar == std::string::npos) break;
    pos = bar + 1;
  }
  if (parts.size() < 5) return std::nullopt;
  TrainRef ref{parts[0], parts[1], parts[2], parts[3]};
  if (parts[4] != Check(ref)) return std::nullopt;
  return ref;
}

std::string TokenMaker::LeftTicket(const TrainRef& ref) const {
  Rng rng(HashText(seed_, "leftTicket:" + Joined(ref)));
  std::string bytes;
  for (int i = 0; i < 3; ++i) bytes.push_back(static_cast<char>(rng.Below(256)));
  bytes += kLead;
  for (int i = 0; i < 13; ++i) bytes.push_back(static_cast<char>(rng.Below(256)));
  return Base64Encode(bytes);  // 19 bytes: ends in "=="
}

}  // namespace quillet::sim
