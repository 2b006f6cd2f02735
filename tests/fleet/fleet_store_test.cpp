// A fleet's shared state: heartbeats, sign-ins, sightings, outcomes and the status read.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fleet/fleet_store.h"
#include "fleet_fixture.h"
#include "net/cookies.h"

namespace quillet::fleet {
namespace {

using namespace std::chrono_literals;
using test::FleetTest;

TEST_F(FleetTest, TheSignInIsStoredAndReadBackByAnotherMember) {
  auto holder = Store();
  auto other = Store();
  EXPECT_FALSE(other->ReadSignIn("alice").cookies.has_value());
  CookieJar jar("JSESSIONID=ABC123; tk=\xd6\xd0-token; BIGipServerotn=99");
  ASSERT_EQ(holder->StoreSignIn("alice", jar), RedisFailure::kNone);
  CookieJar taken;
  ASSERT_TRUE(other->LoadSignIn("alice", taken));
  EXPECT_EQ(taken.Text(), jar.Text());
  // Another account's sign-in and another fleet's are apart.
  CookieJar untouched("x=1");
  EXPECT_FALSE(other->LoadSignIn("bob", untouched));
  EXPECT_EQ(untouched.Text(), "x=1");
  EXPECT_FALSE(Store(test::QuickTimings(), "autumn")->ReadSignIn("alice").cookies.has_value());
}

TEST_F(FleetTest, ASightingPublishedByOneMemberIsReadByAnother) {
  auto seer = Store();
  auto holder = Store();
  const PublishResult start = holder->LatestSightingId();
  ASSERT_EQ(start.failure, RedisFailure::kNone);
  EXPECT_EQ(start.id, "0-0");
  SightingsResult read;
  std::thread reader([&] { read = holder->ReadSightings(start.id, 5000ms); });
  std::this_thread::sleep_for(100ms);
  const Sighting seen{"",  "alice",    "alice/home", "2027-01-20",   "BJP",      "SHH",      "G1",
                      "O", "member-2", UnixMsNow(),  "240000G1010C", "c2VjcmV0", "O0001000", "P2"};
  const PublishResult published = seer->PublishSighting(seen);
  ASSERT_EQ(published.failure, RedisFailure::kNone);
  reader.join();
  ASSERT_EQ(read.failure, RedisFailure::kNone);
  ASSERT_EQ(read.sightings.size(), 1u);
  const Sighting& got = read.sightings[0];
  EXPECT_EQ(got.id, published.id);
  EXPECT_EQ(read.lastId, published.id);
  EXPECT_EQ(got.account, seen.account);
  EXPECT_EQ(got.wish, seen.wish);
  EXPECT_EQ(got.date, seen.date);
  EXPECT_EQ(got.fromStation, seen.fromStation);
  EXPECT_EQ(got.toStation, seen.toStation);
  EXPECT_EQ(got.train, seen.train);
  EXPECT_EQ(got.seatClass, seen.seatClass);
  EXPECT_EQ(got.member, seen.member);
  EXPECT_EQ(got.unixMs, seen.unixMs);
  EXPECT_EQ(got.trainNo, seen.trainNo);
  EXPECT_EQ(got.secretStr, seen.secretStr);
  EXPECT_EQ(got.leftTicket, seen.leftTicket);
  EXPECT_EQ(got.trainLocation, seen.trainLocation);

  // Reading on from there: the next ones in order; nothing new is an empty wait.
  for (const char* train : {"G3", "G5"}) {
    Sighting next = seen;
    next.train = train;
    ASSERT_EQ(seer->PublishSighting(next).failure, RedisFailure::kNone);
  }
  const SightingsResult more = holder->ReadSightings(read.lastId, 1000ms);
  ASSERT_EQ(more.sightings.size(), 2u);
  EXPECT_EQ(more.sightings[0].train, "G3");
  EXPECT_EQ(more.sightings[1].train, "G5");
  const auto waited = std::chrono::steady_clock::now();
  const SightingsResult none = holder->ReadSightings(more.lastId, 200ms);
  EXPECT_EQ(none.failure, RedisFailure::kNone);
  EXPECT_TRUE(none.sightings.empty());
  EXPECT_EQ(none.lastId, more.lastId);
  EXPECT_GE(std::chrono::steady_clock::now() - waited, 150ms);
  EXPECT_EQ(holder->LatestSightingId().id, more.lastId);
}

TEST_F(FleetTest, TheFirstOutcomeOfAWishStaysItsOutcome) {
  auto a = Store();
  auto b = Store();
  EXPECT_FALSE(a->ReadOutcome("alice/home").outcome.has_value());
  EXPECT_FALSE(a->AllDone({"alice/home", "alice/back"}).done);
  const RecordOutcomeResult first = a->RecordOutcome("alice/home", WishOutcomeKind::kBooked, "E123456789", "m1");
  ASSERT_EQ(first.failure, RedisFailure::kNone);
  EXPECT_TRUE(first.recorded);
  // The same call again (a retry after a broken connection) is still its own.
  EXPECT_TRUE(a->RecordOutcome("alice/home", WishOutcomeKind::kBooked, "E123456789", "m1").recorded);
  const RecordOutcomeResult late = b->RecordOutcome("alice/home", WishOutcomeKind::kManualCheck, "", "m2");
  ASSERT_EQ(late.failure, RedisFailure::kNone);
  EXPECT_FALSE(late.recorded);
  ASSERT_TRUE(late.stored.has_value());
  EXPECT_EQ(late.stored->kind, WishOutcomeKind::kBooked);
  EXPECT_EQ(late.stored->orderId, "E123456789");
  EXPECT_EQ(late.stored->member, "m1");

  const OutcomeResult read = b->ReadOutcome("alice/home");
  ASSERT_TRUE(read.outcome.has_value());
  EXPECT_EQ(read.outcome->orderId, "E123456789");
  EXPECT_GT(read.outcome->unixMs, 0);
  EXPECT_FALSE(b->AllDone({"alice/home", "alice/back"}).done);
  ASSERT_TRUE(b->RecordOutcome("alice/back", WishOutcomeKind::kManualCheck, "ignored", "m2").recorded);
  EXPECT_TRUE(a->AllDone({"alice/home", "alice/back"}).done);
  EXPECT_EQ(a->ReadOutcome("alice/back").outcome->orderId, "") << "a manual check has no order id";
}

TEST_F(FleetTest, TheStatusNamesLiveMembersHoldersAndWishes) {
  auto m1 = Store();
  auto m2 = Store();
  const std::int64_t before = UnixMsNow();
  ASSERT_EQ(m1->Beat("m1", "127.0.0.2"), RedisFailure::kNone);
  ASSERT_EQ(m2->Beat("m2", "127.0.0.3"), RedisFailure::kNone);
  ASSERT_EQ(m1->TakeLease("alice", "m1").state, LeaseState::kHeld);
  ASSERT_EQ(m2->TakeLease("bob", "m2").state, LeaseState::kHeld);
  ASSERT_EQ(m1->ReleaseLease("bob", "m1"), RedisFailure::kNone);  // not its own: nothing happens
  ASSERT_EQ(m1->NoteAttempt("alice/home"), RedisFailure::kNone);
  ASSERT_EQ(m1->NoteAttempt("alice/home"), RedisFailure::kNone);
  ASSERT_TRUE(m1->TakeOrderLock("alice/home", "m1").taken);
  ASSERT_TRUE(m1->RecordOutcome("alice/home", WishOutcomeKind::kBooked, "E1", "m1").recorded);
  ASSERT_EQ(m2->NoteAttempt("bob/home"), RedisFailure::kNone);

  StatusResult read = m2->ReadStatus();
  ASSERT_EQ(read.failure, RedisFailure::kNone);
  const FleetStatus& status = read.status;
  ASSERT_EQ(status.members.size(), 2u);
  EXPECT_EQ(status.members[0].id, "m1");
  EXPECT_EQ(status.members[0].address, "127.0.0.2");
  EXPECT_GE(status.members[0].lastBeatUnixMs, before);
  EXPECT_EQ(status.members[1].id, "m2");
  EXPECT_EQ(status.members[1].address, "127.0.0.3");
  ASSERT_EQ(status.accounts.size(), 2u);
  EXPECT_EQ(status.accounts[0].account, "alice");
  EXPECT_EQ(status.accounts[0].holder, "m1");
  EXPECT_EQ(status.accounts[1].account, "bob");
  EXPECT_EQ(status.accounts[1].holder, "m2");
  ASSERT_EQ(status.wishes.size(), 2u);
  EXPECT_EQ(status.wishes[0].wish, "alice/home");
  EXPECT_EQ(status.wishes[0].attempts, 2);
  ASSERT_TRUE(status.wishes[0].outcome.has_value());
  EXPECT_EQ(status.wishes[0].outcome->orderId, "E1");
  EXPECT_EQ(status.wishes[0].lockHolder, "m1");
  EXPECT_EQ(status.wishes[1].wish, "bob/home");
  EXPECT_EQ(status.wishes[1].attempts, 1);
  EXPECT_FALSE(status.wishes[1].outcome.has_value());
  EXPECT_EQ(status.wishes[1].lockHolder, "");

  // A member whose heartbeat ran out is gone; so is a lease nobody renewed.
  std::this_thread::sleep_for(test::QuickTimings().heartbeatTtl + 300ms);
  ASSERT_EQ(m2->Beat("m2", "127.0.0.3"), RedisFailure::kNone);
  read = m1->ReadStatus();
  ASSERT_EQ(read.failure, RedisFailure::kNone);
  ASSERT_EQ(read.status.members.size(), 1u);
  EXPECT_EQ(read.status.members[0].id, "m2");
  ASSERT_EQ(read.status.accounts.size(), 2u);
  EXPECT_EQ(read.status.accounts[0].holder, "");
}

TEST_F(FleetTest, AnUnreachableRedisIsAFailureOfEveryOperation) {
  auto store = Store();
  redis_.Stop();
  EXPECT_EQ(store->Ping(), RedisFailure::kUnreachable);
  EXPECT_EQ(store->TakeLease("alice", "m1").state, LeaseState::kUnknown);
  EXPECT_EQ(store->RenewLease("alice", "m1").state, LeaseState::kUnknown);
  EXPECT_NE(store->ReadSignIn("alice").failure, RedisFailure::kNone);
  EXPECT_NE(store->PublishSighting({}).failure, RedisFailure::kNone);
  EXPECT_NE(store->ReadSightings("0-0", 10ms).failure, RedisFailure::kNone);
  const OrderLockResult lock = store->TakeOrderLock("alice/home", "m1");
  EXPECT_NE(lock.failure, RedisFailure::kNone);
  EXPECT_FALSE(lock.taken);
  EXPECT_FALSE(store->RecordOutcome("alice/home", WishOutcomeKind::kBooked, "E1", "m1").recorded);
  const DoneResult done = store->AllDone({"alice/home"});
  EXPECT_NE(done.failure, RedisFailure::kNone);
  EXPECT_FALSE(done.done);
  EXPECT_NE(store->ReadStatus().failure, RedisFailure::kNone);
}

}  // namespace
}  // namespace quillet::fleet
