#pragma once
// A fleet's shared state in Redis (key layout in fleet_keys.h): members'
// heartbeats, account leases, the accounts' sign-ins, sightings, per-wish
// order locks and outcomes, and a status read. Safe to use from any number
// of threads; each call is one or a few Redis commands and returns a typed
// result. Every command may be sent twice (see RedisPool) and is written so
// that this does no harm.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_keys.h"
#include "fleet/redis_connection.h"
#include "fleet/redis_url.h"
#include "grab/work_share.h"

namespace quillet {
class CookieJar;
}

namespace quillet::fleet {

// A renewal runs well inside the lease's time: with the defaults a holder
// that stops renewing loses the account after 10 s and a member that tries
// every second holds it within 11 s. renewEvery plus the command timeout
// must stay below leaseTtl, so a renewal that hangs is known to have failed
// before the lease can run out.
struct FleetTimings {
  std::chrono::milliseconds leaseTtl{10000};
  std::chrono::milliseconds renewEvery{3000};
  std::chrono::milliseconds takeEvery{1000};
  std::chrono::milliseconds heartbeatTtl{10000};
  std::chrono::milliseconds heartbeatEvery{3000};
};

enum class LeaseState {
  kHeld,         // this member holds it (taken or renewed now)
  kHeldByOther,  // another member holds it (or none, for a renewal whose key is gone)
  kUnknown,      // Redis did not answer: the caller must act as if it were lost
};

struct LeaseResult {
  LeaseState state = LeaseState::kUnknown;
  std::string holder;  // with kHeldByOther: the holder, empty when nobody holds it
  RedisFailure failure = RedisFailure::kNone;
};

struct HolderResult {
  RedisFailure failure = RedisFailure::kNone;
  std::string holder;  // empty: nobody
};

struct ConfirmingResult {
  RedisFailure failure = RedisFailure::kNone;
  std::string holder;     // empty: nobody marked the wish
  ConfirmingOrder order;  // empty fields: the mark did not say
};

struct SignInResult {
  RedisFailure failure = RedisFailure::kNone;
  std::optional<std::string> cookies;  // none stored
};

struct StoredPassengersResult {
  RedisFailure failure = RedisFailure::kNone;
  std::optional<std::string> passengers;  // none stored
};

// A member saw tickets of a wanted class.
struct Sighting {
  std::string id;  // the stream's id; set by the store
  std::string account;
  std::string wish;
  std::string date;  // yyyy-MM-dd
  std::string fromStation;
  std::string toStation;
  std::string train;      // station train code
  std::string seatClass;  // the service's seat type code
  std::string member;     // who saw it
  std::int64_t unixMs = 0;
  // What an order of it needs from the query's answer, as the service listed it.
  std::string trainNo;
  std::string secretStr;
  std::string leftTicket;
  std::string trainLocation;
};

struct PublishResult {
  RedisFailure failure = RedisFailure::kNone;
  std::string id;
};

struct SightingsResult {
  RedisFailure failure = RedisFailure::kNone;
  std::vector<Sighting> sightings;  // in the stream's order
  std::string lastId;               // to read on after; the given id when nothing came
};

struct AliveResult {
  RedisFailure failure = RedisFailure::kNone;
  bool alive = false;
};

struct OrderLockResult {
  RedisFailure failure = RedisFailure::kNone;
  bool taken = false;  // this member holds the lock
  std::string holder;  // who holds it
};

enum class WishOutcomeKind { kBooked, kManualCheck };

struct WishOutcome {
  WishOutcomeKind kind = WishOutcomeKind::kManualCheck;
  std::string orderId;  // of kBooked
  std::string member;   // who recorded it
  std::int64_t unixMs = 0;
};

struct RecordOutcomeResult {
  RedisFailure failure = RedisFailure::kNone;
  bool recorded = false;  // this outcome is the wish's; false: another was recorded first
  std::optional<WishOutcome> stored;
};

struct OutcomeResult {
  RedisFailure failure = RedisFailure::kNone;
  std::optional<WishOutcome> outcome;  // none while the wish is open
};

struct DoneResult {
  RedisFailure failure = RedisFailure::kNone;
  bool done = false;
};

struct MemberStatus {
  std::string id;
  std::string address;
  std::int64_t lastBeatUnixMs = 0;
};
struct AccountStatus {
  std::string account;
  std::string holder;  // empty: nobody
};
struct WishStatus {
  std::string wish;
  long long attempts = 0;
  std::optional<WishOutcome> outcome;
  std::string lockHolder;  // empty: not locked
};
struct FleetStatus {
  std::vector<MemberStatus> members;  // sorted by id; only those whose heartbeat is alive
  std::vector<AccountStatus> accounts;
  std::vector<WishStatus> wishes;
};
struct StatusResult {
  RedisFailure failure = RedisFailure::kNone;
  FleetStatus status;
};

class FleetStore {
 public:
  FleetStore(RedisAddress address, std::string fleetName, RedisTimeouts timeouts = {}, FleetTimings timings = {});

  const FleetTimings& Timings() const { return timings_; }
  const std::string& Name() const { return name_; }

  // Whether Redis answers (PING).
  RedisFailure Ping();

  // The member's heartbeat: alive for heartbeatTtl from now.
  RedisFailure Beat(const std::string& member, const std::string& address);
  // The member ends: its heartbeat goes at once, so that the others take up
  // its share of the queries (and the status stops listing it) now rather
  // than when the heartbeat would have run out.
  RedisFailure Leave(const std::string& member);

  // Set-if-absent with the lease's time; a lease this member holds already is extended.
  LeaseResult TakeLease(const std::string& account, const std::string& member);
  // Compare-and-extend: kHeld only while the key still names this member.
  LeaseResult RenewLease(const std::string& account, const std::string& member);
  // Compare-and-delete: a lease another member holds by now is left alone.
  RedisFailure ReleaseLease(const std::string& account, const std::string& member);
  HolderResult LeaseHolder(const std::string& account);

  // The account's session cookies, kept until replaced.
  RedisFailure StoreSignIn(const std::string& account, const std::string& cookies);
  RedisFailure StoreSignIn(const std::string& account, const CookieJar& jar);
  SignInResult ReadSignIn(const std::string& account);
  // Puts the stored cookies into the jar; false (the jar untouched) when
  // none are stored or Redis did not answer.
  bool LoadSignIn(const std::string& account, CookieJar& jar);

  // The account's passenger list as its holder loaded it, in a form of the
  // caller's: members that do not hold the account build their wishes from
  // it instead of opening the account's order page themselves, which would
  // spoil the holder's order chain of the same sign-in.
  RedisFailure StorePassengers(const std::string& account, const std::string& passengers);
  StoredPassengersResult ReadPassengers(const std::string& account);

  PublishResult PublishSighting(const Sighting& sighting);
  // The id of the stream's newest entry ("0-0" when it is empty): a reader
  // that starts there sees every sighting published afterwards.
  PublishResult LatestSightingId();
  // The sightings after `afterId`, waiting up to `block` (at least 1 ms)
  // for the first one.
  SightingsResult ReadSightings(const std::string& afterId, std::chrono::milliseconds block, int most = 100);

  // The wish's order lock, set if absent and without expiry: a member that
  // vanishes while ordering leaves the wish locked, because nobody can know
  // whether its order went through (a person checks it). Taken again by its
  // holder.
  OrderLockResult TakeOrderLock(const std::string& wish, const std::string& member);
  // After an attempt that placed no order: the wish may be tried again (its
  // confirming mark goes first).
  RedisFailure ReleaseOrderLock(const std::string& wish, const std::string& member);
  // The lock's holder is about to confirm its order; from then on an order
  // may stand at the service. A holder that vanishes before its mark placed
  // no order, so its lock may be given up by another member. The mark names
  // the order, for a person to check should its outcome stay unknown.
  RedisFailure NoteConfirming(const std::string& wish, const std::string& member, const ConfirmingOrder& order);
  // Who holds the wish's order lock; empty: nobody.
  HolderResult OrderLockHolder(const std::string& wish);
  // Who marked the wish's order as confirming (empty: nobody), and the order.
  ConfirmingResult ReadConfirming(const std::string& wish);
  // Whether the member's heartbeat is alive (false when Redis fails too:
  // see `failure`).
  AliveResult MemberAlive(const std::string& member);
  RedisFailure NoteAttempt(const std::string& wish);
  // The first outcome recorded is the wish's for good; record it before
  // telling anyone, and tell what `stored` says.
  RecordOutcomeResult RecordOutcome(const std::string& wish, WishOutcomeKind kind, const std::string& orderId,
                                    const std::string& member);
  OutcomeResult ReadOutcome(const std::string& wish);
  // Whether every one of the wishes has an outcome.
  DoneResult AllDone(const std::vector<std::string>& wishes);

  StatusResult ReadStatus();

 private:
  LeaseResult HolderAfterRefusal(const std::string& account, const std::string& member);

  const std::string name_;
  const FleetKeys keys_;
  const FleetTimings timings_;
  RedisPool pool_;
};

// Milliseconds since the Unix epoch on this machine's clock.
std::int64_t UnixMsNow();

}  // namespace quillet::fleet
