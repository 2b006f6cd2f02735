#pragma once
// Probes of the booking service's clock over HTTP: a HEAD request whose
// answer's Date header is read. Needs no sign-in and carries no cookies.
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "net/curl_handles.h"
#include "net/service_clock.h"

namespace quillet::net {

struct ClockProbeTarget {
  std::string baseUrl;      // the service's base address, e.g. "https://kyfw.12306.cn"
  std::string path;         // a light path the booking application answers itself
  std::string extraCaFile;  // trusted besides the system store
  std::string proxy;        // empty: none
};

// One connection kept alive between probes, so that later probes cost a
// single round trip. Use from one thread at a time.
class HttpClockProber {
 public:
  explicit HttpClockProber(ClockProbeTarget target, std::stop_token stop = {});
  std::optional<ClockSample> Probe();

 private:
  ClockProbeTarget target_;
  std::stop_token stop_;
  CurlHandles handles_;
};

// The Unix seconds of the last Date header among raw header lines.
std::optional<std::int64_t> DateHeaderSeconds(const std::vector<std::string>& headerLines);

// Probing on this machine's steady clock; the waits end early on a stop request.
ClockProbing MachineClockProbing(HttpClockProber& prober, std::stop_token stop = {});

}  // namespace quillet::net
