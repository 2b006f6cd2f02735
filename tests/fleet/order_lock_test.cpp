// A wish is ordered once for the whole fleet.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

#include "fleet/fleet_member.h"
#include "fleet/fleet_work_share.h"
#include "fleet_fixture.h"

namespace quillet::fleet {
namespace {

using test::FleetTest;

TEST_F(FleetTest, TheOrderLockIsTakenOnceAmongContendersAndItsHolderRecordsTheOutcome) {
  constexpr int kMembers = 6;
  std::vector<std::unique_ptr<FleetStore>> stores;
  for (int i = 0; i < kMembers; ++i) stores.push_back(Store());
  std::barrier start(kMembers);
  std::atomic<int> taken{0};
  std::atomic<int> ordered{0};
  std::vector<std::thread> members;
  for (int i = 0; i < kMembers; ++i) {
    members.emplace_back([&, i] {
      FleetStore& store = *stores[i];
      const std::string me = "m" + std::to_string(i);
      start.arrive_and_wait();
      // What a holder does on a sighting: skip a wish that is done, take
      // the lock, order, record, and only then tell.
      if (store.ReadOutcome("alice/home").outcome) return;
      const OrderLockResult lock = store.TakeOrderLock("alice/home", me);
      ASSERT_EQ(lock.failure, RedisFailure::kNone);
      if (!lock.taken) return;
      ++taken;
      ASSERT_EQ(store.NoteAttempt("alice/home"), RedisFailure::kNone);
      ++ordered;
      const RecordOutcomeResult outcome =
          store.RecordOutcome("alice/home", WishOutcomeKind::kBooked, "E" + std::to_string(i), me);
      EXPECT_TRUE(outcome.recorded);
    });
  }
  for (std::thread& member : members) member.join();
  EXPECT_EQ(taken.load(), 1);
  EXPECT_EQ(ordered.load(), 1);
  const StatusResult status = stores[0]->ReadStatus();
  ASSERT_EQ(status.status.wishes.size(), 1u);
  EXPECT_EQ(status.status.wishes[0].attempts, 1);
  ASSERT_TRUE(status.status.wishes[0].outcome.has_value());
  EXPECT_EQ(status.status.wishes[0].outcome->member, status.status.wishes[0].lockHolder);
  EXPECT_TRUE(stores[kMembers - 1]->AllDone({"alice/home"}).done);
}

TEST_F(FleetTest, AReleasedOrderLockLetsTheWishBeTriedAgainByAnyone) {
  auto a = Store();
  auto b = Store();
  ASSERT_TRUE(a->TakeOrderLock("alice/home", "m1").taken);
  EXPECT_TRUE(a->TakeOrderLock("alice/home", "m1").taken) << "its holder takes it again";
  const OrderLockResult refused = b->TakeOrderLock("alice/home", "m2");
  EXPECT_FALSE(refused.taken);
  EXPECT_EQ(refused.holder, "m1");
  ASSERT_EQ(b->ReleaseOrderLock("alice/home", "m2"), RedisFailure::kNone);  // not its own
  EXPECT_FALSE(b->TakeOrderLock("alice/home", "m2").taken);
  ASSERT_EQ(a->ReleaseOrderLock("alice/home", "m1"), RedisFailure::kNone);  // that attempt placed no order
  EXPECT_TRUE(b->TakeOrderLock("alice/home", "m2").taken);
}

// A wish's lock left by a member that is gone: before its confirmation no
// order of it can stand, so the holder takes the lock over; after it, the
// outcome is unknown and the wish becomes a case for a person, recorded
// once. A living holder's lock is never touched.
TEST_F(FleetTest, ALockLeftByAMemberThatIsGoneIsTakenOverOrBecomesACaseForAPerson) {
  struct LeftLock {
    const char* what;
    bool holderAlive, holderConfirmed;
    OrderPermit permit;
    bool lockOurs;
    std::optional<WishOutcomeKind> outcome;
  };
  const LeftLock cases[] = {
      {"gone before confirming", false, false, OrderPermit::kGranted, true, std::nullopt},
      {"gone while confirming", false, true, OrderPermit::kInDoubt, false, WishOutcomeKind::kManualCheck},
      {"alive and confirming", true, true, OrderPermit::kNotNow, false, std::nullopt},
      {"alive before confirming", true, false, OrderPermit::kNotNow, false, std::nullopt},
  };
  int round = 0;
  for (const LeftLock& c : cases) {
    SCOPED_TRACE(c.what);
    auto store = std::shared_ptr<FleetStore>(Store(test::QuickTimings(), "left" + std::to_string(++round)));
    OrderWish wish;
    wish.dates = {"2027-01-20"};
    FleetMemberSettings settings;
    settings.member = "m2";
    settings.account = "alice";
    settings.shareCount = 1;
    FleetWorkShare share(store, settings, {wish});
    share.SetHeld(true);
    const std::string name = DefaultWishName("alice", 0);
    ASSERT_TRUE(store->TakeOrderLock(name, "m1").taken);
    if (c.holderConfirmed) {
      ASSERT_EQ(store->NoteConfirming(name, "m1", ConfirmingOrder{"G1313", "2027-01-20", "O"}), RedisFailure::kNone);
    }
    if (c.holderAlive) {
      ASSERT_EQ(store->Beat("m1", "127.0.0.2"), RedisFailure::kNone);
    }

    EXPECT_EQ(share.BeforeOrder(0), c.permit);
    // The case for a person names the order the vanished member confirmed.
    const std::optional<ConfirmingOrder> inDoubt = share.OrderInDoubt(0);
    ASSERT_EQ(inDoubt.has_value(), c.permit == OrderPermit::kInDoubt);
    if (inDoubt) {
      EXPECT_EQ(inDoubt->train, "G1313");
      EXPECT_EQ(inDoubt->date, "2027-01-20");
      EXPECT_EQ(inDoubt->seatType, "O");
    }
    EXPECT_EQ(store->TakeOrderLock(name, "m2").taken, c.lockOurs);
    const OutcomeResult outcome = store->ReadOutcome(name);
    ASSERT_EQ(outcome.outcome.has_value(), c.outcome.has_value());
    if (c.outcome) {
      EXPECT_EQ(outcome.outcome->kind, *c.outcome);
      EXPECT_EQ(outcome.outcome->member, "m2");
    }
  }
}

// The confirmation goes only once the fleet knows of it, and only from the
// account's holder.
TEST_F(FleetTest, AConfirmationGoesOnlyOnceWrittenDownAndOnlyFromTheHolder) {
  auto store = std::shared_ptr<FleetStore>(Store());
  OrderWish wish;
  wish.dates = {"2027-01-20"};
  FleetMemberSettings settings;
  settings.member = "m1";
  settings.account = "alice";
  settings.shareCount = 1;
  FleetWorkShare share(store, settings, {wish});
  const std::string name = DefaultWishName("alice", 0);
  share.SetHeld(true);
  ASSERT_EQ(share.BeforeOrder(0), OrderPermit::kGranted);
  GrabTask task;
  task.stationTrainCode = "D5";
  task.trainDate = "2027-01-20";
  task.seatType = "M";
  EXPECT_TRUE(share.Confirming(0, task));
  const ConfirmingResult mark = store->ReadConfirming(name);
  EXPECT_EQ(mark.holder, "m1");
  EXPECT_EQ(mark.order.train, "D5");
  EXPECT_EQ(mark.order.date, "2027-01-20");
  EXPECT_EQ(mark.order.seatType, "M");
  share.SetHeld(false);
  EXPECT_FALSE(share.Confirming(0, task)) << "the lease went: the next holder orders";
  ASSERT_EQ(store->ReleaseOrderLock(name, "m1"), RedisFailure::kNone);
  const ConfirmingResult unmarked = store->ReadConfirming(name);
  EXPECT_EQ(unmarked.holder, "") << "a released lock takes its mark along";
  EXPECT_EQ(unmarked.order.train, "");
}

}  // namespace
}  // namespace quillet::fleet
