#pragma once
// Hands every event to each configured notifier without holding up the
// caller: each notifier has its own thread and a bounded queue, so a webhook
// that hangs delays neither the desktop notification nor a grab worker.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "notify/notifier.h"

namespace quillet {

struct NotifierReport {
  std::string notifier;  // Notifier::Name()
  NotifyEventKind kind = NotifyEventKind::kBooked;
  DeliveryOutcome outcome = DeliveryOutcome::kFailed;
  std::string detail;  // program text (GBK)
  DeliveryFailure failure;
};

struct NotifierSetLimits {
  std::size_t queueCapacity = 32;               // per notifier; further events are dropped
  std::chrono::milliseconds drainBound{2000};   // Stop() lets queued deliveries finish this long
  std::chrono::milliseconds abandonBound{500};  // then asks them to stop and waits this much more
};

class NotifierSet {
 public:
  // `report` receives every delivery that was not skipped, on a notifier's
  // thread. It must not wait for the thread that stops the set. It is not
  // called any more once Stop() has returned.
  using ReportFn = std::function<void(const NotifierReport&)>;

  explicit NotifierSet(ReportFn report = {}, NotifierSetLimits limits = {});
  ~NotifierSet();  // Stop()
  NotifierSet(const NotifierSet&) = delete;
  NotifierSet& operator=(const NotifierSet&) = delete;

  // Starts the notifier's thread. Every Add comes before the first Post.
  void Add(std::unique_ptr<Notifier> notifier);
  bool Empty() const { return workers_.empty(); }

  // Queues the event for every notifier and returns at once; any thread may
  // call it, also while another stops the set. False when the set is stopped
  // or some notifier's queue was full (that one misses it).
  bool Post(const NotifyEvent& event);

  // Lets queued deliveries finish within drainBound, then stops the rest and
  // leaves behind, still running, any notifier that does not stop within
  // abandonBound. Safe to call more than once.
  void Stop();

 private:
  struct Shared;
  struct Worker;
  std::shared_ptr<Shared> shared_;
  std::vector<std::shared_ptr<Worker>> workers_;
  NotifierSetLimits limits_;
  std::atomic<bool> stopped_{false};
};

}  // namespace quillet
