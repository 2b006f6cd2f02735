#pragma once
// Hands every event to each configured notifier without holding up the
// caller: each notifier has its own thread and a bounded queue, so a webhook
// that hangs delays neither the desktop notification nor a grab worker.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "notify/notifier.h"
#include "notify/notify_event.h"

namespace quillet {

struct NotifierReport {
  std::string notifier;  // Notifier::Name()
  NotifyEventKind kind = NotifyEventKind::kBooked;
  DeliveryOutcome outcome = DeliveryOutcome::kFailed;
  std::string detail;  // program text (GBK)
  NotifyEvent event;   // the event that was delivered or not
  DeliveryFailure failure;
};

// A delivery that was queued or under way.
struct PendingDelivery {
  std::string notifier;  // Notifier::Name()
  NotifyEvent event;
};

struct NotifierSetLimits {
  std::size_t queueCapacity = 32;               // per notifier; further events are dropped
  std::chrono::milliseconds drainBound{2000};   // Stop() lets queued deliveries finish this long
  std::chrono::milliseconds abandonBound{500};  // then asks them to stop and waits this much more
  // With DrainControl::fullSchedule: deliveries of bookings and manual checks
  // run to their notifiers' own limits, but never longer than this in all.
  std::chrono::milliseconds fullScheduleBound{std::chrono::minutes(5)};
  // With DrainControl::stillDelivering: how long deliveries may take before
  // the person is told that the program waits for them.
  std::chrono::milliseconds stillDeliveringAfter{500};
};

// How Stop() ends the deliveries still pending.
struct DrainControl {
  // Deliveries of bookings and manual checks get their whole schedule (each
  // notifier's own limits and tries) instead of drainBound; the others keep
  // drainBound.
  bool fullSchedule = false;
  std::stop_token abandon;  // gives up every pending delivery at once
  // Called once, on the stopping thread, with what is still being delivered
  // when that takes longer than stillDeliveringAfter.
  std::function<void(const std::vector<PendingDelivery>&)> stillDelivering;
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

  // Lets queued deliveries finish within drainBound (or as `control` says),
  // then stops the rest and leaves behind, still running, any notifier that
  // does not stop within abandonBound. Returns the deliveries that were given
  // up (not made, and not reported). Safe to call more than once; later calls
  // return nothing.
  std::vector<PendingDelivery> Stop(const DrainControl& control = {});

 private:
  struct Shared;
  struct Worker;
  std::shared_ptr<Shared> shared_;
  std::vector<std::shared_ptr<Worker>> workers_;
  NotifierSetLimits limits_;
  std::atomic<bool> stopped_{false};
};

}  // namespace quillet
