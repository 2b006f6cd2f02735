#include "after_faults.h"

#include <httplib.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "text_codec.h"

namespace quillet::sim {

namespace {

const std::vector<std::pair<AfterEffect, const char*>>& AfterEffectNames() {
  static const std::vector<std::pair<AfterEffect, const char*>> kNames = {
      {AfterEffect::kGarbage, "garbage"},
      {AfterEffect::kTruncated, "truncated"},
      {AfterEffect::kReset, "reset"},
      {AfterEffect::kDrip, "drip"},
  };
  return kNames;
}

bool PathMatches(const std::string& armed, const std::string& requestPath) {
  if (!armed.empty() && armed.front() == '/') return armed == requestPath;
  const std::size_t slash = requestPath.rfind('/');
  return requestPath.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, armed) == 0;
}

}  // namespace

const char* AfterEffectName(AfterEffect effect) {
  for (const auto& [e, name] : AfterEffectNames()) {
    if (e == effect) return name;
  }
  return "";
}

std::optional<AfterEffect> AfterEffectNamed(const std::string& name) {
  for (const auto& [e, known] : AfterEffectNames()) {
    if (name == known) return e;
  }
  return std::nullopt;
}

void AfterEffectFaults::Arm(const std::string& path, AfterEffect effect, int times) {
  std::lock_guard lock(mutex_);
  if (times <= 0) {
    armed_.erase(path);
  } else {
    armed_[path] = Armed{effect, times};
  }
}

std::optional<AfterEffect> AfterEffectFaults::Take(const std::string& requestPath) {
  std::lock_guard lock(mutex_);
  for (auto it = armed_.begin(); it != armed_.end(); ++it) {
    if (!PathMatches(it->first, requestPath)) continue;
    const AfterEffect effect = it->second.effect;
    if (--it->second.times <= 0) armed_.erase(it);
    return effect;
  }
  return std::nullopt;
}

void AfterEffectFaults::Clear() {
  std::lock_guard lock(mutex_);
  armed_.clear();
}

std::string AfterEffectFaults::ArmedJson() const {
  std::lock_guard lock(mutex_);
  std::string json = "{";
  for (const auto& [path, armed] : armed_) {
    if (json.size() > 1) json += ",";
    json += JsonStringFromUtf8(path) + ":{\"mode\":\"" + AfterEffectName(armed.effect) +
            "\",\"times\":" + std::to_string(armed.times) + "}";
  }
  return json + "}";
}

void SendSpoiled(AfterEffect effect, const SimResponse& answer, FaultPicker& picker, const AfterEffectFaults& faults,
                 httplib::Response& response) {
  response.status = answer.status;
  for (const auto& [name, value] : answer.headers) response.headers.emplace(name, value);
  switch (effect) {
    case AfterEffect::kGarbage:
      response.set_content(picker.GarbageBytes(), kJsonType);
      return;
    case AfterEffect::kTruncated: {
      const std::string part = answer.body.substr(0, picker.CutPoint(answer.body.size()));
      response.set_content_provider(answer.body.size(), answer.contentType,
                                    [part](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                      if (offset == 0) sink.write(part.data(), part.size());
                                      return false;
                                    });
      return;
    }
    case AfterEffect::kDrip:
      // Each byte after a second; the wait is cut into short naps so that a
      // stopping service does not hang on a slow answer.
      response.set_content_provider(
          answer.body.size(), answer.contentType,
          [body = answer.body, &faults](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            for (int nap = 0; nap < 10; ++nap) {
              if (faults.Stopping()) return false;
              std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            return sink.write(body.data() + offset, 1);
          });
      return;
    case AfterEffect::kReset:
      return;
  }
}

}  // namespace quillet::sim
