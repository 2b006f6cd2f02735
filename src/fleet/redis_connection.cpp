#include "fleet/redis_connection.h"

#include <hiredis/hiredis.h>
#include <sys/time.h>

#include <utility>

namespace quillet::fleet {
namespace {

constexpr std::size_t kMostIdleConnections = 8;

timeval TimevalOf(std::chrono::milliseconds ms) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(ms.count() / 1000);
  tv.tv_usec = static_cast<suseconds_t>((ms.count() % 1000) * 1000);
  return tv;
}

RedisReply ReplyOf(const redisReply& raw) {
  RedisReply reply;
  switch (raw.type) {
    case REDIS_REPLY_INTEGER:
      reply.kind = RedisReplyKind::kInteger;
      reply.integer = raw.integer;
      break;
    case REDIS_REPLY_STRING:
      reply.kind = RedisReplyKind::kText;
      reply.text.assign(raw.str, raw.len);
      break;
    case REDIS_REPLY_STATUS:
      reply.kind = RedisReplyKind::kStatus;
      reply.text.assign(raw.str, raw.len);
      break;
    case REDIS_REPLY_ARRAY:
      reply.kind = RedisReplyKind::kArray;
      reply.elements.reserve(raw.elements);
      for (std::size_t i = 0; i < raw.elements; ++i) reply.elements.push_back(ReplyOf(*raw.element[i]));
      break;
    default:
      reply.kind = RedisReplyKind::kNil;
      break;
  }
  return reply;
}

// Runs one command on a connected context; nullptr means the connection failed.
redisReply* Run(redisContext* context, const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  std::vector<std::size_t> lengths;
  argv.reserve(args.size());
  lengths.reserve(args.size());
  for (const std::string& arg : args) {
    argv.push_back(arg.data());
    lengths.push_back(arg.size());
  }
  return static_cast<redisReply*>(
      redisCommandArgv(context, static_cast<int>(argv.size()), argv.data(), lengths.data()));
}

}  // namespace

RedisConnection::RedisConnection(RedisAddress address, RedisTimeouts timeouts)
    : address_(std::move(address)), timeouts_(timeouts) {}

RedisConnection::~RedisConnection() { Drop(); }

void RedisConnection::Drop() {
  if (context_ != nullptr) redisFree(context_);
  context_ = nullptr;
  currentTimeout_ = std::chrono::milliseconds(-1);
}

RedisFailure RedisConnection::Connect(std::string& serverMessage) {
  context_ = redisConnectWithTimeout(address_.host.c_str(), address_.port, TimevalOf(timeouts_.connect));
  if (context_ == nullptr || context_->err != 0) {
    Drop();
    return RedisFailure::kUnreachable;
  }
  // Keep-alive finds a connection whose far end vanished without a word.
  redisEnableKeepAlive(context_);
  const auto setUp = [&](const std::vector<std::string>& args) {
    redisReply* reply = Run(context_, args);
    if (reply == nullptr) return RedisFailure::kUnreachable;
    RedisFailure failure = RedisFailure::kNone;
    if (reply->type == REDIS_REPLY_ERROR) {
      serverMessage.assign(reply->str, reply->len);
      failure = RedisFailure::kAuthRefused;
    }
    freeReplyObject(reply);
    return failure;
  };
  redisSetTimeout(context_, TimevalOf(timeouts_.command));
  currentTimeout_ = timeouts_.command;
  RedisFailure failure = RedisFailure::kNone;
  if (!address_.password.empty()) {
    failure =
        address_.user.empty() ? setUp({"AUTH", address_.password}) : setUp({"AUTH", address_.user, address_.password});
  }
  if (failure == RedisFailure::kNone && address_.database != 0) {
    failure = setUp({"SELECT", std::to_string(address_.database)});
  }
  if (failure != RedisFailure::kNone) Drop();
  return failure;
}

RedisResult RedisConnection::Command(const std::vector<std::string>& args, std::chrono::milliseconds extraWait) {
  RedisResult result;
  if (context_ == nullptr) {
    result.failure = Connect(result.serverMessage);
    if (!result.Ok()) return result;
  }
  const std::chrono::milliseconds timeout = timeouts_.command + extraWait;
  if (timeout != currentTimeout_) {
    redisSetTimeout(context_, TimevalOf(timeout));
    currentTimeout_ = timeout;
  }
  redisReply* reply = Run(context_, args);
  if (reply == nullptr) {
    // hiredis leaves the context unusable after an I/O error or a timeout.
    Drop();
    result.failure = RedisFailure::kConnectionLost;
    return result;
  }
  if (reply->type == REDIS_REPLY_ERROR) {
    result.failure = RedisFailure::kServerError;
    result.serverMessage.assign(reply->str, reply->len);
  } else {
    result.reply = ReplyOf(*reply);
  }
  freeReplyObject(reply);
  return result;
}

RedisPool::RedisPool(RedisAddress address, RedisTimeouts timeouts)
    : address_(std::move(address)), timeouts_(timeouts) {}

std::unique_ptr<RedisConnection> RedisPool::Borrow() {
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      std::unique_ptr<RedisConnection> connection = std::move(idle_.back());
      idle_.pop_back();
      return connection;
    }
  }
  return std::make_unique<RedisConnection>(address_, timeouts_);
}

void RedisPool::GiveBack(std::unique_ptr<RedisConnection> connection) {
  if (!connection->Connected()) return;
  std::lock_guard lock(mutex_);
  if (idle_.size() < kMostIdleConnections) idle_.push_back(std::move(connection));
}

RedisResult RedisPool::Command(const std::vector<std::string>& args, std::chrono::milliseconds extraWait) {
  std::unique_ptr<RedisConnection> connection = Borrow();
  const bool wasIdle = connection->Connected();
  RedisResult result = connection->Command(args, extraWait);
  // A connection that waited in the pool may have died with a restarted
  // server; the command goes once more on a new one. The fleet's commands
  // are written so that running one twice does no harm.
  if (wasIdle && result.failure == RedisFailure::kConnectionLost) result = connection->Command(args, extraWait);
  GiveBack(std::move(connection));
  return result;
}

}  // namespace quillet::fleet
