// Fan-out on the notifiers' own threads: the caller never waits, and
// stopping is bounded even when a notifier hangs.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillet::test
