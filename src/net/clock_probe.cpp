#include "net/clock_probe.h"

#include <strings.h>

#include <condition_variable>
#include <mutex>

#include "net/curl_transfer.h"

namespace quillet::net {
namespace {

constexpr auto kProbeStallTimeout = std::chrono::milliseconds(5000);
constexpr std::size_t kMaxAnswerBytes = 64 * 1024;

}  // namespace

HttpClockProber::HttpClockProber(ClockProbeTarget target, std::stop_token stop)
    : target_(std::move(target)), stop_(std::move(stop)) {}

std::optional<ClockSample> HttpClockProber::Probe() {
  TransferRequest request;
  request.url = target_.baseUrl + target_.path;
  request.method = "HEAD";
  request.proxy = target_.proxy;
  request.extraCaFile = target_.extraCaFile;
  TransferLimits limits;
  limits.stop = stop_;
  limits.stallTimeout = kProbeStallTimeout;
  limits.maxBodyBytes = kMaxAnswerBytes;

  ClockSample sample;
  sample.sent = std::chrono::steady_clock::now();
  const TransferResult result = RunTransfer(handles_, request, limits);
  sample.received = std::chrono::steady_clock::now();
  if (result.outcome != ExchangeOutcome::kOk) return std::nullopt;
  const auto seconds = DateHeaderSeconds(result.headerLines);
  if (!seconds) return std::nullopt;
  sample.dateSeconds = *seconds;
  return sample;
}

std::optional<std::int64_t> DateHeaderSeconds(const std::vector<std::string>& headerLines) {
  static constexpr char kName[] = "date:";
  std::optional<std::int64_t> seconds;
  for (const std::string& line : headerLines) {
    if (line.size() <= sizeof kName - 1 || strncasecmp(line.c_str(), kName, sizeof kName - 1) != 0) continue;
    // curl_getdate reads every date form HTTP allows; -1 for anything else.
    const time_t parsed = curl_getdate(line.c_str() + sizeof kName - 1, nullptr);
    seconds = parsed == -1 ? std::nullopt : std::optional<std::int64_t>(parsed);
  }
  return seconds;
}

ClockProbing MachineClockProbing(HttpClockProber& prober, std::stop_token stop) {
  ClockProbing probing;
  probing.probe = [&prober] { return prober.Probe(); };
  probing.now = [] { return std::chrono::steady_clock::now(); };
  probing.systemNow = [] { return std::chrono::system_clock::now(); };
  probing.waitUntil = [stop](SteadyTime moment) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait_until(lock, stop, moment, [] { return false; });
    return !stop.stop_requested();
  };
  return probing;
}

}  // namespace quillet::net
