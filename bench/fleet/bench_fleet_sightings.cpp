// A sighting's way through the fleet's Redis: one member publishes it
// (XADD), another that waits in XREAD BLOCK receives it. Measured on a
// loopback redis-server started here, each sighting on its own (a pause
// between two), so the figure is the reaction to one sighting.
//
// Usage: bench_fleet_sightings [sightings=2000] [pause-us=500]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "fleet/fleet_store.h"
#include "fleet/redis_url.h"
#include "support/redis_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace quillet::fleet;

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t at = std::min(values.size() - 1, static_cast<std::size_t>(fraction * values.size()));
  return values[at];
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  const int pauseUs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 500;
  if (!quillet::test::RedisServerAvailable()) {
    std::fprintf(stderr, "redis-server is not installed\n");
    return 1;
  }
  quillet::test::RedisProcess redis;
  if (!redis.Running()) return 1;
  const RedisAddress address = *ParseRedisUrl(redis.Url()).address;
  FleetStore seer(address, "bench");
  FleetStore holder(address, "bench");

  std::vector<Clock::time_point> sent(count);
  std::vector<Clock::time_point> received(count);
  std::atomic<int> got{0};
  const std::string start = holder.LatestSightingId().id;
  std::thread reader([&] {
    std::string after = start;
    while (got.load() < count) {
      const SightingsResult read = holder.ReadSightings(after, std::chrono::milliseconds(2000));
      if (read.failure != RedisFailure::kNone) {
        std::fprintf(stderr, "read failed\n");
        std::exit(1);
      }
      const auto now = Clock::now();
      for (const Sighting& sighting : read.sightings) {
        const int index = std::atoi(sighting.train.c_str());
        if (index >= 0 && index < count) received[index] = now;
        ++got;
      }
      after = read.lastId;
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the reader waits in XREAD

  std::vector<double> publishUs;
  Sighting sighting{"", "alice", "alice/home", "2027-01-20", "BJP", "SHH", "", "O", "seer", 0, "", "", "", ""};
  for (int i = 0; i < count; ++i) {
    sighting.train = std::to_string(i);
    sighting.unixMs = UnixMsNow();
    sent[i] = Clock::now();
    if (seer.PublishSighting(sighting).failure != RedisFailure::kNone) {
      std::fprintf(stderr, "publish failed\n");
      return 1;
    }
    publishUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent[i]).count());
    if (pauseUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
  }
  reader.join();

  std::vector<double> latencyUs;
  for (int i = 0; i < count; ++i) {
    latencyUs.push_back(std::chrono::duration<double, std::micro>(received[i] - sent[i]).count());
  }
  std::printf("sightings: %d, pause between two: %d us\n", count, pauseUs);
  std::printf("publish (XADD round trip):  median %.0f us, p99 %.0f us\n", Percentile(publishUs, 0.5),
              Percentile(publishUs, 0.99));
  std::printf("publish to read (XREAD):    median %.0f us, p99 %.0f us, max %.0f us\n", Percentile(latencyUs, 0.5),
              Percentile(latencyUs, 0.99), Percentile(latencyUs, 1.0));
  return 0;
}
