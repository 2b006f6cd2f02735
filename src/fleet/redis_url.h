#pragma once
// Where the fleet's Redis is: "redis://[[user]:password@]host[:port][/db]".
#include <optional>
#include <string>
#include <string_view>

namespace quillet::fleet {

struct RedisAddress {
  std::string host;  // a name or an address; an IPv6 address without its brackets
  int port = 6379;
  int database = 0;
  std::string user;      // empty: the default user
  std::string password;  // empty: no AUTH
};

enum class RedisUrlProblem {
  kNone,
  kNotRedis,        // another scheme, or none
  kTlsUnavailable,  // "rediss://": the Redis client library of this build has no TLS
  kBadHost,
  kBadPort,
  kBadDatabase,
  kBadEscape,  // a "%" not followed by two hex digits in the user or password
};

struct RedisUrlResult {
  std::optional<RedisAddress> address;  // set when problem is kNone
  RedisUrlProblem problem = RedisUrlProblem::kNone;
  bool Ok() const { return address.has_value(); }
};

// `fallbackPassword` (QUILLET_REDIS_PASSWORD) is used when the URL names no
// password; user and password may be percent-encoded.
RedisUrlResult ParseRedisUrl(std::string_view url, std::string_view fallbackPassword = {});

// The password from the environment (QUILLET_REDIS_PASSWORD), empty without one.
std::string RedisPasswordFromEnvironment();

}  // namespace quillet::fleet
