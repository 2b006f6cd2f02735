#include "connection_threads.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace quillet::sim {

ConnectionThreads::ConnectionThreads(std::size_t keptThreads, std::size_t maxThreads, std::chrono::milliseconds idleEnd)
    : keptThreads_(std::min(keptThreads, maxThreads)), maxThreads_(maxThreads), idleEnd_(idleEnd) {
  std::lock_guard<std::mutex> lock(mutex_);
  while (running_ < keptThreads_) StartWorker();
}

ConnectionThreads::~ConnectionThreads() { shutdown(); }

void ConnectionThreads::enqueue(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  JoinEnded();
  tasks_.push_back(std::move(task));
  if (idle_ >= tasks_.size()) {
    wake_.notify_one();
  } else if (running_ < maxThreads_) {
    StartWorker();
  }
  // Otherwise the task waits for the first thread that comes free.
}

void ConnectionThreads::StartWorker() {
  const auto self = workers_.emplace(workers_.end());
  try {
    self->thread = std::thread([this, self] { Work(self); });
    ++running_;
  } catch (const std::system_error&) {
    workers_.erase(self);  // no thread to be had now: the task waits for a running one
  }
}

void ConnectionThreads::shutdown() {
  std::list<Worker> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    workers.swap(workers_);
  }
  for (Worker& worker : workers) {
    if (worker.thread.joinable()) worker.thread.join();
  }
}

void ConnectionThreads::Work(std::list<Worker>::iterator self) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    ++idle_;
    const bool woken = wake_.wait_for(lock, idleEnd_, [this] { return !tasks_.empty() || stopping_; });
    --idle_;
    if (tasks_.empty() && (stopping_ || (!woken && running_ > keptThreads_))) break;
    if (tasks_.empty()) continue;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
  --running_;
  // After shutdown took the list, the entry belongs to it and is joined there.
  if (!stopping_) self->ended = true;
}

void ConnectionThreads::JoinEnded() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->ended) {
      it->thread.join();  // it has nothing left to do but return
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace quillet::sim
