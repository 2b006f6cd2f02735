// Connections to Redis: typed failures, passwords, timeouts and reconnecting.
#include <gtest/gtest.h>

#include <chrono>

#include "fleet/redis_connection.h"
#include "fleet_fixture.h"

namespace quillet::fleet {
namespace {

using namespace std::chrono_literals;
using quillet::test::RedisProcess;

RedisAddress Loopback(int port) {
  RedisAddress address;
  address.host = "127.0.0.1";
  address.port = port;
  return address;
}

TEST(RedisConnection, NobodyListeningIsUnreachable) {
  int port = 0;
  {
    RedisProcess gone;
    ASSERT_TRUE(gone.Running());
    port = gone.Port();
  }
  RedisConnection connection(Loopback(port), RedisTimeouts{500ms, 500ms});
  EXPECT_EQ(connection.Command({"PING"}).failure, RedisFailure::kUnreachable);
  FleetStore store(Loopback(port), "spring", RedisTimeouts{500ms, 500ms});
  EXPECT_EQ(store.Ping(), RedisFailure::kUnreachable);
}

TEST(RedisConnection, SignsInWithThePasswordAndNamesARefusal) {
  RedisProcess redis({"--requirepass", "s3cret"});
  ASSERT_TRUE(redis.Running());
  struct Case {
    const char* password;
    RedisFailure failure;
  };
  for (const Case& c : {Case{"s3cret", RedisFailure::kNone}, Case{"wrong", RedisFailure::kAuthRefused},
                        Case{"", RedisFailure::kServerError}}) {
    SCOPED_TRACE(c.password);
    RedisAddress address = Loopback(redis.Port());
    address.password = c.password;
    RedisConnection connection(address, RedisTimeouts{});
    const RedisResult result = connection.Command({"SET", "k", "v"});
    EXPECT_EQ(result.failure, c.failure);
    if (c.failure != RedisFailure::kNone) {
      EXPECT_FALSE(result.serverMessage.empty());
    }
  }
}

TEST(RedisConnection, SelectsTheDatabaseOfTheUrl) {
  RedisProcess redis;
  ASSERT_TRUE(redis.Running());
  const auto url = ParseRedisUrl("redis://127.0.0.1:" + std::to_string(redis.Port()) + "/3");
  ASSERT_TRUE(url.Ok());
  RedisConnection three(*url.address, RedisTimeouts{});
  ASSERT_TRUE(three.Command({"SET", "where", "three"}).Ok());
  RedisConnection zero(Loopback(redis.Port()), RedisTimeouts{});
  EXPECT_EQ(zero.Command({"GET", "where"}).reply.kind, RedisReplyKind::kNil);
  EXPECT_EQ(three.Command({"GET", "where"}).reply.text, "three");
}

TEST(RedisConnection, ACommandThatOutlastsItsTimeoutFailsAndTheNextOneConnectsAgain) {
  RedisProcess redis;
  ASSERT_TRUE(redis.Running());
  RedisConnection connection(Loopback(redis.Port()), RedisTimeouts{500ms, 200ms});
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(connection.Command({"BLPOP", "never", "0"}).failure, RedisFailure::kConnectionLost);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  EXPECT_FALSE(connection.Connected());
  EXPECT_TRUE(connection.Command({"PING"}).Ok());
  // A blocking read is given its own wait on top of the timeout.
  const RedisResult waited = connection.Command({"BLPOP", "never", "0.4"}, 400ms);
  EXPECT_TRUE(waited.Ok());
  EXPECT_EQ(waited.reply.kind, RedisReplyKind::kNil);
}

TEST(RedisConnection, ThePoolGoesOnAfterTheServerRestarted) {
  RedisProcess redis;
  ASSERT_TRUE(redis.Running());
  RedisPool pool(Loopback(redis.Port()), RedisTimeouts{});
  ASSERT_TRUE(pool.Command({"SET", "k", "v"}).Ok());
  redis.Stop();
  // The idle connection is found dead and a new one cannot be made.
  EXPECT_EQ(pool.Command({"PING"}).failure, RedisFailure::kUnreachable);
  EXPECT_EQ(pool.Command({"PING"}).failure, RedisFailure::kUnreachable);
  ASSERT_TRUE(redis.Restart());
  EXPECT_TRUE(pool.Command({"PING"}).Ok());
  ASSERT_TRUE(pool.Command({"SET", "k", "v"}).Ok());
  // A connection idle in the pool across a restart does not cost a failure.
  ASSERT_TRUE(redis.Restart());
  EXPECT_TRUE(pool.Command({"PING"}).Ok());
}

}  // namespace
}  // namespace quillet::fleet
