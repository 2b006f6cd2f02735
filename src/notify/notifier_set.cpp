#include "notify/notifier_set.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace quillet {

namespace {

using Clock = std::chrono::steady_clock;

// What the person most needs to hear about, and so worth waiting for at the end.
bool Matters(const NotifyEvent& event) {
  return event.kind == NotifyEventKind::kBooked || event.kind == NotifyEventKind::kManualCheck;
}

}  // namespace

struct NotifierSet::Shared {
  std::mutex reportMutex;
  bool reportsOpen = true;
  ReportFn report;

  // Counts deliveries ended and workers finished, for Stop() to wait on.
  std::mutex changeMutex;
  std::condition_variable_any changed;
  std::uint64_t changes = 0;

  void Changed() {
    {
      std::lock_guard lock(changeMutex);
      ++changes;
    }
    changed.notify_all();
  }
  std::uint64_t Changes() {
    std::lock_guard lock(changeMutex);
    return changes;
  }
  void WaitForChange(std::uint64_t seen, Clock::time_point until, const std::stop_token& abandon) {
    std::unique_lock lock(changeMutex);
    changed.wait_until(lock, abandon, until, [&] { return changes != seen; });
  }
};

// Lives as long as its thread, which may outlast the set when abandoned.
struct NotifierSet::Worker {
  std::unique_ptr<Notifier> notifier;
  std::shared_ptr<Shared> shared;
  std::stop_source stop;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<NotifyEvent> queue;
  std::optional<NotifyEvent> current;  // being delivered
  std::stop_source deliveryStop;       // of the current delivery
  std::vector<NotifyEvent> givenUp;    // stopped before or while being delivered
  bool dropMinor = false;              // deliver only what matters
  bool closing = false;
  bool finished = false;
  std::thread thread;

  static void Run(const std::shared_ptr<Worker>& self) {
    Worker& w = *self;
    for (;;) {
      NotifyEvent event;
      std::stop_source deliveryStop;
      {
        std::unique_lock lock(w.mutex);
        if (!w.TakeNextLocked(lock, event)) break;
        w.current = event;
        w.deliveryStop = deliveryStop;
      }
      // Nothing a notifier or the report does may end the program.
      DeliveryResult result;
      {
        std::stop_callback stopAll(w.stop.get_token(), [&deliveryStop] { deliveryStop.request_stop(); });
        try {
          result = w.notifier->Deliver(event, deliveryStop.get_token());
        } catch (...) {
          result = {DeliveryOutcome::kSkipped, {}};
        }
      }
      const bool givenUp = deliveryStop.stop_requested() && result.outcome != DeliveryOutcome::kDelivered;
      {
        std::lock_guard lock(w.mutex);
        w.current.reset();
        if (givenUp) w.givenUp.push_back(event);
      }
      if (!givenUp && result.outcome != DeliveryOutcome::kSkipped) {
        try {
          std::lock_guard lock(w.shared->reportMutex);
          if (w.shared->reportsOpen && w.shared->report) {
            w.shared->report(NotifierReport{std::string(w.notifier->Name()), event.kind, result.outcome,
                                            std::move(result.detail), std::move(event), std::move(result.failure)});
          }
        } catch (...) {
        }
      }
      w.shared->Changed();
    }
    {
      std::lock_guard lock(w.mutex);
      w.finished = true;
    }
    w.changed.notify_all();
    w.shared->Changed();
  }

  // Waits for the next event to deliver; false when the worker is to end.
  // Events given up on the way are kept in givenUp.
  bool TakeNextLocked(std::unique_lock<std::mutex>& lock, NotifyEvent& event) {
    for (;;) {
      changed.wait(lock, [&] { return !queue.empty() || closing || stop.stop_requested(); });
      if (stop.stop_requested()) {
        givenUp.insert(givenUp.end(), queue.begin(), queue.end());
        queue.clear();
        return false;
      }
      while (!queue.empty() && dropMinor && !Matters(queue.front())) {
        givenUp.push_back(std::move(queue.front()));
        queue.pop_front();
      }
      if (!queue.empty()) {
        event = std::move(queue.front());
        queue.pop_front();
        return true;
      }
      if (closing) return false;
    }
  }

  // From now on only bookings and manual checks are delivered; a delivery of
  // anything else under way is stopped.
  void DropMinor() {
    std::lock_guard lock(mutex);
    if (dropMinor) return;
    dropMinor = true;
    if (current && !Matters(*current)) deliveryStop.request_stop();
  }

  bool Finished() {
    std::lock_guard lock(mutex);
    return finished;
  }

  // Holds a booking or a manual check, queued or under way.
  bool HoldsWhatMatters() {
    std::lock_guard lock(mutex);
    if (current && Matters(*current)) return true;
    return std::any_of(queue.begin(), queue.end(), Matters);
  }

  void AppendWhatMatters(std::vector<PendingDelivery>& out) {
    std::lock_guard lock(mutex);
    const std::string name(notifier->Name());
    if (current && Matters(*current)) out.push_back({name, *current});
    for (const NotifyEvent& event : queue) {
      if (Matters(event)) out.push_back({name, event});
    }
  }

  void AskToStop() {
    stop.request_stop();
    { std::lock_guard lock(mutex); }  // a worker between its check and its wait sees the stop
    changed.notify_all();
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

std::vector<PendingDelivery> NotifierSet::Stop(const DrainControl& control) {
  if (stopped_.exchange(true)) return {};
  for (const auto& worker : workers_) {
    {
      std::lock_guard lock(worker->mutex);
      worker->closing = true;
    }
    worker->changed.notify_all();
  }

  const auto start = Clock::now();
  const auto drainDeadline = start + limits_.drainBound;
  const auto lastDeadline =
      control.fullSchedule ? std::max(drainDeadline, start + limits_.fullScheduleBound) : drainDeadline;
  const auto noticeAt = start + limits_.stillDeliveringAfter;
  bool told = !control.stillDelivering;
  std::vector<std::optional<Clock::time_point>> askedAt(workers_.size());

  for (;;) {
    const std::uint64_t seen = shared_->Changes();
    const auto now = Clock::now();
    const bool endAll = control.abandon.stop_requested() || now >= lastDeadline;
    bool allDone = true;
    bool waitingForWhatMatters = false;
    auto nextWake = lastDeadline;
    for (std::size_t i = 0; i < workers_.size(); ++i) {
      Worker& worker = *workers_[i];
      if (worker.Finished()) continue;
      const bool matters = control.fullSchedule && worker.HoldsWhatMatters();
      if (!askedAt[i] && (endAll || (!matters && now >= drainDeadline))) {
        worker.AskToStop();
        askedAt[i] = now;
      } else if (matters && now >= drainDeadline) {
        worker.DropMinor();
      }
      if (askedAt[i]) {
        // A notifier that does not stop in time is left behind.
        const auto givenUpAt = *askedAt[i] + limits_.abandonBound;
        if (now < givenUpAt) {
          allDone = false;
          nextWake = std::min(nextWake, givenUpAt);
        }
        continue;
      }
      allDone = false;
      waitingForWhatMatters = waitingForWhatMatters || matters;
      if (!matters) nextWake = std::min(nextWake, drainDeadline);
    }
    if (allDone) break;
    if (!told && waitingForWhatMatters) {
      if (now >= noticeAt) {
        told = true;
        std::vector<PendingDelivery> pending;
        for (const auto& worker : workers_) worker->AppendWhatMatters(pending);
        control.stillDelivering(pending);
        continue;
      }
      nextWake = std::min(nextWake, noticeAt);
    }
    // Once everything is asked to stop only the stops are waited for.
    shared_->WaitForChange(seen, nextWake, endAll ? std::stop_token{} : control.abandon);
  }

  {
    std::lock_guard lock(shared_->reportMutex);
    shared_->reportsOpen = false;
  }
  std::vector<PendingDelivery> givenUp;
  for (const auto& worker : workers_) {
    bool finished = false;
    {
      std::lock_guard lock(worker->mutex);
      finished = worker->finished;
      const std::string name(worker->notifier->Name());
      for (const NotifyEvent& event : worker->givenUp) givenUp.push_back({name, event});
      // Left behind: what it holds is not delivered as far as anyone will hear.
      if (!finished && worker->current) givenUp.push_back({name, *worker->current});
      if (!finished) {
        for (const NotifyEvent& event : worker->queue) givenUp.push_back({name, event});
      }
    }
    if (finished) {
      worker->thread.join();
    } else {
      worker->thread.detach();
    }
  }
  return givenUp;
}

}  // namespace quillet
