#include "request_log.h"

#include "text_codec.h"

namespace quillet::sim {

std::int64_t RequestLog::ElapsedMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count();
}

std::int64_t RequestLog::MachineUnixMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void RequestLog::Add(LoggedRequest entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counts_[entry.path];
  entries_.push_back(std::move(entry));
  while (entries_.size() > kCapacity) entries_.pop_front();
}

std::string RequestLog::EntriesJson() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string json = "[";
  bool first = true;
  for (const LoggedRequest& e : entries_) {
    json += first ? "" : ",";
    first = false;
    json += "{\"t\":" + std::to_string(e.ms) + ",\"unix_ms\":" + std::to_string(e.unixMs) +
            ",\"address\":" + JsonStringFromUtf8(e.address) + ",\"method\":" + JsonStringFromUtf8(e.method) +
            ",\"path\":" + JsonStringFromUtf8(e.path) + ",\"query\":" + JsonStringFromUtf8(e.query) + ",\"headers\":{";
    for (std::size_t i = 0; i < e.headers.size(); ++i) {
      json += (i ? "," : "") + JsonStringFromUtf8(e.headers[i].first) + ":" + JsonStringFromUtf8(e.headers[i].second);
    }
    json += "},\"body\":" + JsonStringFromUtf8(e.body) + "}";
  }
  return json + "]";
}

std::string RequestLog::CountsJson() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string json = "{";
  bool first = true;
  for (const auto& [path, count] : counts_) {
    json += (first ? "" : ",") + JsonStringFromUtf8(path) + ":" + std::to_string(count);
    first = false;
  }
  return json + "}";
}

void RequestLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
  counts_.clear();
}

}  // namespace quillet::sim
