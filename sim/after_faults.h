#pragma once
// Faults armed through the control side for the next answers of one path.
// Unlike the drawn faults (faults.h) these act after the request was carried
// out: the service did what was asked (booked a ticket, started a session)
// and only its answer is lost on the way back, so a client can be tried on
// the case where it must find out what happened.
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "faults.h"
#include "sim_http.h"

namespace httplib {
struct Response;
}  // namespace httplib

namespace quillet::sim {

enum class AfterEffect {
  kGarbage,    // the answer's body is replaced by random bytes
  kTruncated,  // the headers promise the whole answer, part of it comes, the connection closes
  kReset,      // the connection is reset without an answer
  kDrip,       // the whole answer, one byte a second
};

// "garbage", "truncated", "reset", "drip".
const char* AfterEffectName(AfterEffect effect);
std::optional<AfterEffect> AfterEffectNamed(const std::string& name);

class AfterEffectFaults {
 public:
  // Arms `effect` for the next `times` requests whose path is `path` (a path
  // beginning with "/") or whose last path segment is `path`. Times 0
  // disarms the path. Rearming replaces what was armed for it.
  void Arm(const std::string& path, AfterEffect effect, int times);
  // The fault for a request to `requestPath`, counted off; none when nothing is armed for it.
  std::optional<AfterEffect> Take(const std::string& requestPath);
  void Clear();
  // {"<path>":{"mode":"<name>","times":<n>},...}
  std::string ArmedJson() const;

  // Answers that drip end early once the service stops.
  void Stop() { stopping_.store(true); }
  bool Stopping() const { return stopping_.load(); }

 private:
  struct Armed {
    AfterEffect effect;
    int times;
  };
  mutable std::mutex mutex_;  // guards armed_
  std::map<std::string, Armed> armed_;
  std::atomic<bool> stopping_{false};
};

// Sends `answer`, the service's real answer, as `effect` spoils it (garbage,
// truncated or drip; a reset needs the connection and is the server's).
// Status and headers stay those of the real answer.
void SendSpoiled(AfterEffect effect, const SimResponse& answer, FaultPicker& picker, const AfterEffectFaults& faults,
                 httplib::Response& response);

}  // namespace quillet::sim
