#pragma once
// Starts redis-server on a free loopback port for a test and stops it again:
// no persistence, nothing written to disk.
#include <string>
#include <vector>

namespace quillet::test {

class RedisProcess {
 public:
  // extraArgs go after the port, bind and persistence options
  // (e.g. {"--requirepass", "secret"}). Waits up to 10 s until it answers;
  // on failure the test gets a failure message and Running() is false.
  explicit RedisProcess(std::vector<std::string> extraArgs = {});
  ~RedisProcess();
  RedisProcess(const RedisProcess&) = delete;
  RedisProcess& operator=(const RedisProcess&) = delete;

  bool Running() const { return pid_ > 0; }
  int Port() const { return port_; }
  std::string Url() const { return "redis://127.0.0.1:" + std::to_string(port_) + "/0"; }

  // Ends the server (SIGTERM, SIGKILL after 5 s).
  void Stop();
  // Starts it again on the same port, empty.
  bool Restart();

 private:
  bool Start();

  std::vector<std::string> extraArgs_;
  int pid_ = -1;
  int port_ = 0;
};

// Whether redis-server can be found on PATH.
bool RedisServerAvailable();

}  // namespace quillet::test
