#pragma once
// The server's task queue: one thread per open connection, started when a
// connection comes and no thread is free, up to a maximum. The library's own
// pool has a fixed number of threads, and a connection holds its thread for
// as long as the client takes to send a request: a few hundred clients that
// send their headers slowly would leave every thread waiting on them and
// queue a normal request behind them. The first `keptThreads` start at once
// and stay; threads beyond them end again after being idle for a while.
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace quillet::sim {

class ConnectionThreads : public httplib::TaskQueue {
 public:
  ConnectionThreads(std::size_t keptThreads, std::size_t maxThreads, std::chrono::milliseconds idleEnd);
  ~ConnectionThreads() override;

  void enqueue(std::function<void()> task) override;
  // Runs the queued tasks to their end, then joins every thread.
  void shutdown() override;

 private:
  struct Worker {
    std::thread thread;
    bool ended = false;
  };
  void StartWorker();  // mutex held
  void Work(std::list<Worker>::iterator self);
  void JoinEnded();  // mutex held

  const std::size_t keptThreads_;
  const std::size_t maxThreads_;
  const std::chrono::milliseconds idleEnd_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::list<Worker> workers_;
  std::size_t running_ = 0;  // workers not ended
  std::size_t idle_ = 0;     // workers waiting for a task
  bool stopping_ = false;
};

}  // namespace quillet::sim
