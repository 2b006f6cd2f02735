#pragma once
// A redis-server of the test's own and fleet stores on it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fleet/fleet_store.h"
#include "fleet/redis_url.h"
#include "support/redis_process.h"

namespace quillet::fleet::test {

inline RedisAddress AddressOf(const quillet::test::RedisProcess& redis) { return *ParseRedisUrl(redis.Url()).address; }

// Short times, so that a lease runs out within a test's patience.
inline FleetTimings QuickTimings() {
  FleetTimings timings;
  timings.leaseTtl = std::chrono::milliseconds(1500);
  timings.renewEvery = std::chrono::milliseconds(300);
  timings.takeEvery = std::chrono::milliseconds(100);
  timings.heartbeatTtl = std::chrono::milliseconds(1500);
  timings.heartbeatEvery = std::chrono::milliseconds(300);
  return timings;
}

class FleetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(redis_.Running()); }

  // A member's own view of the fleet (its own connections).
  std::unique_ptr<FleetStore> Store(FleetTimings timings = QuickTimings(), const std::string& fleet = "spring") {
    return std::make_unique<FleetStore>(AddressOf(redis_), fleet, RedisTimeouts{}, timings);
  }

  quillet::test::RedisProcess redis_;
};

}  // namespace quillet::fleet::test
