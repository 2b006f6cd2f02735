// Account leases: one holder among contenders, renewal, loss, take-over.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "fleet/lease_keeper.h"
#include "fleet/redis_connection.h"
#include "fleet_fixture.h"

namespace quillet::fleet {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FleetTest;

// What a keeper reported, for a test to wait on.
class Changes {
 public:
  std::function<void(LeaseChange)> Recorder() {
    return [this](LeaseChange change) {
      std::lock_guard lock(mutex_);
      changes_.push_back(change);
      changed_.notify_all();
    };
  }
  // Waits until `count` changes arrived; false after `patience`.
  bool WaitFor(std::size_t count, std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, patience, [&] { return changes_.size() >= count; });
  }
  std::vector<LeaseChange> Seen() {
    std::lock_guard lock(mutex_);
    return changes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<LeaseChange> changes_;
};

TEST_F(FleetTest, ExactlyOneOfSeveralContendersTakesTheLease) {
  constexpr int kMembers = 6;
  constexpr int kRounds = 20;
  std::vector<std::unique_ptr<FleetStore>> stores;
  for (int i = 0; i < kMembers; ++i) stores.push_back(Store());
  for (int round = 0; round < kRounds; ++round) {
    const std::string account = "account-" + std::to_string(round);
    std::barrier start(kMembers);
    std::atomic<int> held{0};
    std::atomic<int> failed{0};
    std::vector<std::string> holders(kMembers);
    std::vector<std::thread> members;
    for (int i = 0; i < kMembers; ++i) {
      members.emplace_back([&, i] {
        start.arrive_and_wait();
        const LeaseResult result = stores[i]->TakeLease(account, "m" + std::to_string(i));
        if (result.state == LeaseState::kHeld) ++held;
        if (result.state == LeaseState::kUnknown) ++failed;
        holders[i] = result.holder;
      });
    }
    for (std::thread& member : members) member.join();
    ASSERT_EQ(failed.load(), 0);
    EXPECT_EQ(held.load(), 1) << account;
    const std::string holder = stores[0]->LeaseHolder(account).holder;
    for (const std::string& named : holders) EXPECT_TRUE(named.empty() || named == holder) << named << " " << holder;
  }
}

TEST_F(FleetTest, ALeaseIsRenewedOnlyByItsHolderAndReleasedOnlyByIt) {
  auto store = Store();
  ASSERT_EQ(store->TakeLease("alice", "m1").state, LeaseState::kHeld);
  EXPECT_EQ(store->TakeLease("alice", "m1").state, LeaseState::kHeld) << "its holder takes it again";
  const LeaseResult other = store->TakeLease("alice", "m2");
  EXPECT_EQ(other.state, LeaseState::kHeldByOther);
  EXPECT_EQ(other.holder, "m1");
  EXPECT_EQ(store->RenewLease("alice", "m2").state, LeaseState::kHeldByOther);
  ASSERT_EQ(store->ReleaseLease("alice", "m2"), RedisFailure::kNone);
  EXPECT_EQ(store->LeaseHolder("alice").holder, "m1");
  // Renewed well inside its time, it outlives its first time to live.
  for (int i = 0; i < 4; ++i) {
    std::this_thread::sleep_for(test::QuickTimings().leaseTtl / 2);
    ASSERT_EQ(store->RenewLease("alice", "m1").state, LeaseState::kHeld);
  }
  ASSERT_EQ(store->ReleaseLease("alice", "m1"), RedisFailure::kNone);
  EXPECT_EQ(store->LeaseHolder("alice").holder, "");
  EXPECT_EQ(store->RenewLease("alice", "m1").state, LeaseState::kHeldByOther) << "a released lease is not renewed";
}

TEST_F(FleetTest, AKeeperHoldsTheLeaseWhileItRunsAndReleasesItAtTheEnd) {
  auto store = Store();
  Changes changes;
  {
    LeaseKeeper keeper(*store, "alice", "m1", changes.Recorder());
    ASSERT_TRUE(changes.WaitFor(1, 5000ms));
    EXPECT_TRUE(keeper.Held());
    // Three lease times: only renewals keep it.
    const auto until = Clock::now() + 3 * test::QuickTimings().leaseTtl;
    while (Clock::now() < until) {
      ASSERT_EQ(store->LeaseHolder("alice").holder, "m1");
      std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(changes.Seen(), std::vector<LeaseChange>{LeaseChange::kTaken});
  }
  EXPECT_EQ(store->LeaseHolder("alice").holder, "");
}

TEST_F(FleetTest, AKeeperWhoseKeyIsTakenAwayReportsTheLossAtOnce) {
  auto store = Store();
  Changes changes;
  LeaseKeeper keeper(*store, "alice", "m1", changes.Recorder());
  ASSERT_TRUE(changes.WaitFor(1, 5000ms));
  RedisConnection admin(test::AddressOf(redis_), RedisTimeouts{});
  ASSERT_TRUE(admin.Command({"SET", "quillet:fleet:spring:lease:alice", "intruder", "PX", "60000"}).Ok());
  const auto taken = Clock::now();
  ASSERT_TRUE(changes.WaitFor(2, 5000ms));
  EXPECT_LE(Clock::now() - taken, test::QuickTimings().renewEvery + 1000ms) << "at the next renewal";
  EXPECT_EQ(changes.Seen()[1], LeaseChange::kLost);
  EXPECT_FALSE(keeper.Held());
  EXPECT_EQ(store->LeaseHolder("alice").holder, "intruder");

  // Deleted keys and a silent Redis are losses too.
  ASSERT_TRUE(admin.Command({"DEL", "quillet:fleet:spring:lease:alice"}).Ok());
  ASSERT_TRUE(changes.WaitFor(3, 5000ms));  // taken again
  EXPECT_EQ(changes.Seen()[2], LeaseChange::kTaken);
  redis_.Stop();
  ASSERT_TRUE(changes.WaitFor(4, 5000ms));
  EXPECT_EQ(changes.Seen()[3], LeaseChange::kLost);
  ASSERT_TRUE(redis_.Restart());
  ASSERT_TRUE(changes.WaitFor(5, 5000ms)) << "holds it again once Redis is back";
  EXPECT_EQ(changes.Seen()[4], LeaseChange::kTaken);
}

// The program's own times: a member that stops renewing (it vanished) loses
// the account to one that keeps trying within 15 s.
TEST_F(FleetTest, AnotherMemberHoldsTheAccountWithinFifteenSecondsOfItsHoldersLastRenewal) {
  auto vanished = Store(FleetTimings{});
  auto survivor = Store(FleetTimings{});
  ASSERT_EQ(vanished->TakeLease("alice", "m1").state, LeaseState::kHeld);
  const auto lastRenewal = Clock::now();
  Changes changes;
  LeaseKeeper keeper(*survivor, "alice", "m2", changes.Recorder());
  std::this_thread::sleep_for(2s);
  EXPECT_FALSE(keeper.Held()) << "not while the lease runs";
  ASSERT_TRUE(changes.WaitFor(1, 20000ms));
  const auto tookOver = Clock::now() - lastRenewal;
  EXPECT_LE(tookOver, 15s);
  EXPECT_GE(tookOver, FleetTimings{}.leaseTtl - 500ms);
  EXPECT_TRUE(keeper.Held());
  EXPECT_EQ(survivor->LeaseHolder("alice").holder, "m2");
  EXPECT_EQ(vanished->RenewLease("alice", "m1").state, LeaseState::kHeldByOther) << "the old holder cannot renew";
}

TEST_F(FleetTest, TwoKeepersOfOneAccountNeverBothHoldIt) {
  auto a = Store();
  auto b = Store();
  std::atomic<int> holders{0};
  std::atomic<int> most{0};
  const auto track = [&](LeaseChange change) {
    const int now = change == LeaseChange::kTaken ? ++holders : --holders;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
  };
  {
    auto first = std::make_unique<LeaseKeeper>(*a, "alice", "m1", track);
    // The second starts once the first holds: on a busy machine its thread
    // could otherwise try first.
    const auto taken = Clock::now() + 3s;
    while (Clock::now() < taken && !first->Held()) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(first->Held());
    LeaseKeeper second(*b, "alice", "m2", track);
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(first->Held());
    ASSERT_FALSE(second.Held());
    --holders;      // a release is not reported as a loss
    first.reset();  // released: the other takes it at its next try
    const auto until = Clock::now() + 3s;
    while (Clock::now() < until && !second.Held()) std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(second.Held());
  }
  EXPECT_EQ(most.load(), 1);
}

}  // namespace
}  // namespace quillet::fleet
