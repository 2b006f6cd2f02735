#pragma once
// One connection to Redis over hiredis, and a pool of them shared between
// threads. A command's failure is typed; a connection that failed is
// dropped and the next command connects again.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/redis_url.h"

struct redisContext;

namespace quillet::fleet {

struct RedisTimeouts {
  std::chrono::milliseconds connect{2000};
  std::chrono::milliseconds command{2000};  // a blocking read adds its own wait to this
};

enum class RedisFailure {
  kNone,
  kUnreachable,      // no connection could be made (refused, no route, timed out)
  kConnectionLost,   // the connection broke or timed out during a command
  kAuthRefused,      // AUTH or SELECT was refused
  kServerError,      // Redis answered the command with an error
  kUnexpectedReply,  // an answer of a type the caller does not expect
};

enum class RedisReplyKind { kNil, kInteger, kText, kStatus, kArray };

struct RedisReply {
  RedisReplyKind kind = RedisReplyKind::kNil;
  long long integer = 0;
  std::string text;  // of kText and kStatus
  std::vector<RedisReply> elements;
};

struct RedisResult {
  RedisFailure failure = RedisFailure::kNone;
  RedisReply reply;
  std::string serverMessage;  // Redis's own words with kServerError / kAuthRefused
  bool Ok() const { return failure == RedisFailure::kNone; }
};

class RedisConnection {
 public:
  RedisConnection(RedisAddress address, RedisTimeouts timeouts);
  ~RedisConnection();
  RedisConnection(const RedisConnection&) = delete;
  RedisConnection& operator=(const RedisConnection&) = delete;

  // Connects first when not connected. `extraWait` lengthens the command
  // timeout for a command that blocks on the server (XREAD BLOCK).
  RedisResult Command(const std::vector<std::string>& args,
                      std::chrono::milliseconds extraWait = std::chrono::milliseconds(0));
  bool Connected() const { return context_ != nullptr; }

 private:
  RedisFailure Connect(std::string& serverMessage);
  void Drop();

  const RedisAddress address_;
  const RedisTimeouts timeouts_;
  redisContext* context_ = nullptr;
  std::chrono::milliseconds currentTimeout_{-1};
};

// Connections for any number of threads: a command borrows one (taken out
// under the lock, used without it) and gives it back. A command that fails
// on a connection that sat idle in the pool is sent once more on a new one.
class RedisPool {
 public:
  RedisPool(RedisAddress address, RedisTimeouts timeouts);
  RedisPool(const RedisPool&) = delete;
  RedisPool& operator=(const RedisPool&) = delete;

  RedisResult Command(const std::vector<std::string>& args,
                      std::chrono::milliseconds extraWait = std::chrono::milliseconds(0));

 private:
  std::unique_ptr<RedisConnection> Borrow();
  void GiveBack(std::unique_ptr<RedisConnection> connection);

  const RedisAddress address_;
  const RedisTimeouts timeouts_;
  std::mutex mutex_;  // guards idle_
  std::vector<std::unique_ptr<RedisConnection>> idle_;
};

}  // namespace quillet::fleet
