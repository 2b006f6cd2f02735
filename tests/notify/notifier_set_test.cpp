// Fan-out on the notifiers' own threads: the caller never waits, and
// stopping is bounded even when a notifier hangs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "notify/notifier_set.h"
#include "scripted_notifier.h"
#include "wait_until.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Opened once by the test; a notifier waiting on it ignores every stop.
struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  void Open() {
    {
      std::lock_guard lock(mutex);
      open = true;
    }
    opened.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex);
    opened.wait(lock, [&] { return open; });
  }
};

struct Reports {
  std::mutex mutex;
  std::vector<NotifierReport> list;
  NotifierSet::ReportFn Sink() {
    return [this](const NotifierReport& report) {
      std::lock_guard lock(mutex);
      list.push_back(report);
    };
  }
  std::size_t Count() {
    std::lock_guard lock(mutex);
    return list.size();
  }
};

TEST(NotifierSet, EveryNotifierGetsEveryEventInOrderAndReportsWhatWasNotSkipped) {
  Reports reports;
  std::mutex mutex;
  std::vector<std::string> seenByA, seenByB;
  {
    NotifierSet set(reports.Sink());
    set.Add(std::make_unique<ScriptedNotifier>("a", [&](const NotifyEvent& event, std::stop_token) {
      std::lock_guard lock(mutex);
      seenByA.push_back(event.train);
      return DeliveryResult{DeliveryOutcome::kDelivered, {}};
    }));
    set.Add(std::make_unique<ScriptedNotifier>("b", [&](const NotifyEvent& event, std::stop_token) {
      std::lock_guard lock(mutex);
      seenByB.push_back(event.train);
      return DeliveryResult{event.train == "G2" ? DeliveryOutcome::kFailed : DeliveryOutcome::kSkipped, "why"};
    }));
    for (const char* train : {"G1", "G2", "G3"}) EXPECT_TRUE(set.Post(SampleBooking(train)));
  }  // the destructor drains the queues
  const std::vector<std::string> all{"G1", "G2", "G3"};
  EXPECT_EQ(seenByA, all);
  EXPECT_EQ(seenByB, all);
  ASSERT_EQ(reports.Count(), 4u);
  std::size_t failures = 0;
  for (const NotifierReport& report : reports.list) {
    if (report.outcome == DeliveryOutcome::kFailed) {
      ++failures;
      EXPECT_EQ(report.notifier, "b");
      EXPECT_EQ(report.detail, "why");
    } else {
      EXPECT_EQ(report.notifier, "a");
    }
  }
  EXPECT_EQ(failures, 1u);
}

TEST(NotifierSet, PostNeverWaitsAndStopAbandonsANotifierThatHangs) {
  Reports reports;
  auto gate = std::make_shared<Gate>();
  std::atomic<int> cooperativeStopped{0};
  std::atomic<int> quickDelivered{0};
  NotifierSetLimits limits;
  limits.queueCapacity = 2;
  limits.drainBound = 200ms;
  limits.abandonBound = 200ms;
  auto set = std::make_unique<NotifierSet>(reports.Sink(), limits);
  set->Add(std::make_unique<ScriptedNotifier>("hangs", [gate](const NotifyEvent&, std::stop_token) {
    gate->Wait();
    return DeliveryResult{DeliveryOutcome::kFailed, "late"};
  }));
  set->Add(std::make_unique<ScriptedNotifier>("cooperates", [&](const NotifyEvent&, std::stop_token stop) {
    while (!stop.stop_requested()) std::this_thread::sleep_for(5ms);
    ++cooperativeStopped;
    return DeliveryResult{DeliveryOutcome::kSkipped, {}};
  }));
  set->Add(std::make_unique<ScriptedNotifier>("quick", [&](const NotifyEvent&, std::stop_token) {
    ++quickDelivered;
    return DeliveryResult{DeliveryOutcome::kSkipped, {}};
  }));

  auto start = std::chrono::steady_clock::now();
  for (int i = 1; i <= 4; ++i) {
    set->Post(SampleBooking());
    EXPECT_TRUE(WaitUntil([&] { return quickDelivered == i; }, 10s)) << "a hanging notifier held up another one";
  }
  EXPECT_LT(SecondsSince(start), 5.0);
  // The hanging notifiers hold one event each with two more queued: full.
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(set->Post(SampleBooking()));
  EXPECT_LT(SecondsSince(start), 1.0);

  start = std::chrono::steady_clock::now();
  set.reset();
  EXPECT_LT(SecondsSince(start), 3.0);
  EXPECT_EQ(cooperativeStopped, 1) << "queued events are dropped once stopped";

  // The abandoned delivery ends later; its report no longer reaches anyone.
  gate->Open();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(reports.Count(), 0u);
}

// Waits `delay` unless stopped first; kDelivered when it ran its course.
DeliveryResult SlowDelivery(std::chrono::milliseconds delay, std::stop_token stop) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  if (wake.wait_for(lock, stop, delay, [] { return false; }) || stop.stop_requested()) {
    return {DeliveryOutcome::kFailed, "stopped"};
  }
  return {DeliveryOutcome::kDelivered, {}};
}

NotifyEvent SampleLapse() {
  NotifyEvent event;
  event.kind = NotifyEventKind::kSessionLapsed;
  return event;
}

TEST(NotifierSet, AtTheEndBookingsGetTheirWholeScheduleAndThePersonIsToldWhatIsAwaited) {
  Reports reports;
  NotifierSetLimits limits;
  limits.drainBound = 200ms;
  limits.abandonBound = 200ms;
  limits.stillDeliveringAfter = 100ms;
  NotifierSet set(reports.Sink(), limits);
  set.Add(std::make_unique<ScriptedNotifier>(
      "slow", [](const NotifyEvent&, std::stop_token stop) { return SlowDelivery(700ms, stop); }));
  set.Add(std::make_unique<ScriptedNotifier>("lapse-only", [](const NotifyEvent& event, std::stop_token stop) {
    if (event.kind == NotifyEventKind::kSessionLapsed) return SlowDelivery(30s, stop);
    return DeliveryResult{DeliveryOutcome::kSkipped, {}};
  }));
  set.Post(SampleBooking("G1"));
  set.Post(SampleLapse());
  NotifyEvent manual = SampleBooking("G2");
  manual.kind = NotifyEventKind::kManualCheck;
  set.Post(manual);

  std::vector<std::vector<PendingDelivery>> told;
  DrainControl control;
  control.fullSchedule = true;
  control.stillDelivering = [&](const std::vector<PendingDelivery>& pending) { told.push_back(pending); };
  const auto start = std::chrono::steady_clock::now();
  const std::vector<PendingDelivery> givenUp = set.Stop(control);
  const double took = SecondsSince(start);

  // Both of "slow"'s deliveries ran to their end, far past drainBound.
  EXPECT_GT(took, 1.3);
  EXPECT_LT(took, 10.0);
  std::vector<std::string> delivered;
  for (const NotifierReport& report : reports.list) {
    EXPECT_EQ(report.notifier, "slow");
    EXPECT_EQ(report.outcome, DeliveryOutcome::kDelivered);
    delivered.push_back(report.event.train);
  }
  EXPECT_EQ(delivered, (std::vector<std::string>{"G1", "G2"}));
  // The session lapse got drainBound: cut short by one notifier, skipped by
  // the other, unreported by both.
  std::vector<std::string> lapses;
  for (const PendingDelivery& pending : givenUp) {
    EXPECT_EQ(pending.event.kind, NotifyEventKind::kSessionLapsed);
    lapses.push_back(pending.notifier);
  }
  std::sort(lapses.begin(), lapses.end());
  EXPECT_EQ(lapses, (std::vector<std::string>{"lapse-only", "slow"}));
  // Told once, about the booking and the manual check (queued behind the
  // lapse for the other notifier), not the lapse.
  ASSERT_EQ(told.size(), 1u);
  std::vector<std::string> awaited;
  for (const PendingDelivery& pending : told[0]) awaited.push_back(pending.notifier + " " + pending.event.train);
  std::sort(awaited.begin(), awaited.end());
  EXPECT_EQ(awaited, (std::vector<std::string>{"lapse-only G2", "slow G1", "slow G2"}));
}

TEST(NotifierSet, AbandoningTheDrainGivesUpWhatIsPendingAtOnce) {
  Reports reports;
  auto gate = std::make_shared<Gate>();
  NotifierSetLimits limits;
  limits.abandonBound = 200ms;
  NotifierSet set(reports.Sink(), limits);
  set.Add(std::make_unique<ScriptedNotifier>(
      "cooperates", [](const NotifyEvent&, std::stop_token stop) { return SlowDelivery(30s, stop); }));
  set.Add(std::make_unique<ScriptedNotifier>("hangs", [gate](const NotifyEvent&, std::stop_token) {
    gate->Wait();
    return DeliveryResult{DeliveryOutcome::kDelivered, {}};
  }));
  set.Post(SampleBooking("G1"));
  set.Post(SampleBooking("G2"));

  std::stop_source abandon;
  DrainControl control;
  control.fullSchedule = true;
  control.abandon = abandon.get_token();
  std::jthread secondSignal([&] {
    std::this_thread::sleep_for(300ms);
    abandon.request_stop();
  });
  const auto start = std::chrono::steady_clock::now();
  const std::vector<PendingDelivery> givenUp = set.Stop(control);
  EXPECT_LT(SecondsSince(start), 2.0);

  std::vector<std::string> names;
  for (const PendingDelivery& pending : givenUp) names.push_back(pending.notifier + " " + pending.event.train);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"cooperates G1", "cooperates G2", "hangs G1", "hangs G2"}));
  gate->Open();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(reports.Count(), 0u) << "a given-up delivery is not also reported";
}

}  // namespace
}  // namespace quillet::test
