#include "notify/notifier_set.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace quillet {

struct NotifierSet::Shared {
  std::mutex reportMutex;
  bool reportsOpen = true;
  ReportFn report;
};

// Lives as long as its thread, which may outlast the set when abandoned.
struct NotifierSet::Worker {
  std::unique_ptr<Notifier> notifier;
  std::shared_ptr<Shared> shared;
  std::stop_source stop;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<NotifyEvent> queue;
  bool closing = false;
  bool finished = false;
  std::thread thread;

  static void Run(const std::shared_ptr<Worker>& self) {
    Worker& w = *self;
    for (;;) {
      NotifyEvent event;
      {
        std::unique_lock lock(w.mutex);
        w.changed.wait(lock, [&] { return !w.queue.empty() || w.closing || w.stop.stop_requested(); });
        if (w.stop.stop_requested() || w.queue.empty()) break;
        event = std::move(w.queue.front());
        w.queue.pop_front();
      }
      // Nothing a notifier or the report does may end the program.
      try {
        DeliveryResult result = w.notifier->Deliver(event, w.stop.get_token());
        if (result.outcome == DeliveryOutcome::kSkipped) continue;
        std::lock_guard lock(w.shared->reportMutex);
        if (w.shared->reportsOpen && w.shared->report) {
          w.shared->report(NotifierReport{std::string(w.notifier->Name()), event.kind, result.outcome,
                                          std::move(result.detail), std::move(result.failure)});
        }
      } catch (...) {
      }
    }
    {
      std::lock_guard lock(w.mutex);
      w.finished = true;
    }
    w.changed.notify_all();
  }

  bool WaitFinished(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex);
    return changed.wait_until(lock, deadline, [&] { return finished; });
  }
};

NotifierSet::NotifierSet(ReportFn report, NotifierSetLimits limits)
    : shared_(std::make_shared<Shared>()), limits_(limits) {
  shared_->report = std::move(report);
}

NotifierSet::~NotifierSet() { Stop(); }

void NotifierSet::Add(std::unique_ptr<Notifier> notifier) {
  if (stopped_.load() || !notifier) return;
  auto worker = std::make_shared<Worker>();
  worker->notifier = std::move(notifier);
  worker->shared = shared_;
  worker->thread = std::thread(&Worker::Run, worker);
  workers_.push_back(std::move(worker));
}

bool NotifierSet::Post(const NotifyEvent& event) {
  bool all = true;
  for (const auto& worker : workers_) {
    {
      std::lock_guard lock(worker->mutex);
      if (worker->closing || worker->queue.size() >= limits_.queueCapacity) {
        all = false;
        continue;
      }
      worker->queue.push_back(event);
    }
    worker->changed.notify_all();
  }
  return all && !stopped_;
}

void NotifierSet::Stop() {
  if (stopped_.exchange(true)) return;
  for (const auto& worker : workers_) {
    {
      std::lock_guard lock(worker->mutex);
      worker->closing = true;
    }
    worker->changed.notify_all();
  }
  const auto drainDeadline = std::chrono::steady_clock::now() + limits_.drainBound;
  for (const auto& worker : workers_) worker->WaitFinished(drainDeadline);

  for (const auto& worker : workers_) {
    {
      std::lock_guard lock(worker->mutex);
      if (worker->finished) continue;
    }
    worker->stop.request_stop();
    { std::lock_guard lock(worker->mutex); }  // a worker between its check and its wait sees the stop
    worker->changed.notify_all();
  }
  const auto abandonDeadline = std::chrono::steady_clock::now() + limits_.abandonBound;
  for (const auto& worker : workers_) worker->WaitFinished(abandonDeadline);

  {
    std::lock_guard lock(shared_->reportMutex);
    shared_->reportsOpen = false;
  }
  for (const auto& worker : workers_) {
    bool finished = false;
    {
      std::lock_guard lock(worker->mutex);
      finished = worker->finished;
    }
    if (finished) {
      worker->thread.join();
    } else {
      worker->thread.detach();
    }
  }
}

}  // namespace quillet
