#include "fleet/fleet_store.h"

#include <algorithm>
#include <utility>

#include "net/cookies.h"

namespace quillet::fleet {
namespace {

// Extends the key's time while it names this member.
constexpr char kCompareAndExtend[] =
    "if redis.call('get', KEYS[1]) == ARGV[1] then return redis.call('pexpire', KEYS[1], ARGV[2]) end return 0";
// Deletes the key while it names this member.
constexpr char kCompareAndDelete[] =
    "if redis.call('get', KEYS[1]) == ARGV[1] then return redis.call('del', KEYS[1]) end return 0";
// Records the outcome unless one is there; answers {1 when this call
// recorded it, outcome, order id, member, time} with what is stored.
constexpr char kRecordFirstOutcome[] =
    "local known = redis.call('hmget', KEYS[1], 'outcome', 'order_id', 'by', 'at') "
    "if known[1] then return {0, known[1], known[2] or '', known[3] or '', known[4] or '0'} end "
    "redis.call('hset', KEYS[1], 'outcome', ARGV[1], 'order_id', ARGV[2], 'by', ARGV[3], 'at', ARGV[4]) "
    "redis.call('sadd', KEYS[2], ARGV[5]) "
    "return {1, ARGV[1], ARGV[2], ARGV[3], ARGV[4]}";

constexpr char kBooked[] = "booked";
constexpr char kManualCheck[] = "manual_check";
constexpr int kSightingsKept = 10000;

const char* OutcomeText(WishOutcomeKind kind) { return kind == WishOutcomeKind::kBooked ? kBooked : kManualCheck; }

std::optional<WishOutcomeKind> OutcomeKindOf(const std::string& text) {
  if (text == kBooked) return WishOutcomeKind::kBooked;
  if (text == kManualCheck) return WishOutcomeKind::kManualCheck;
  return std::nullopt;
}

std::int64_t NumberOr(const std::string& text, std::int64_t fallback) {
  try {
    std::size_t used = 0;
    const long long value = std::stoll(text, &used);
    return used == text.size() ? value : fallback;
  } catch (...) {
    return fallback;
  }
}

bool IsText(const RedisReply& reply) {
  return reply.kind == RedisReplyKind::kText || reply.kind == RedisReplyKind::kStatus;
}

// The failure of a result, or kUnexpectedReply when its reply is not of the kind wanted.
RedisFailure Expect(const RedisResult& result, std::initializer_list<RedisReplyKind> kinds) {
  if (!result.Ok()) return result.failure;
  return std::find(kinds.begin(), kinds.end(), result.reply.kind) != kinds.end() ? RedisFailure::kNone
                                                                                 : RedisFailure::kUnexpectedReply;
}

std::optional<WishOutcome> OutcomeOf(const std::string& kindText, std::string orderId, std::string member,
                                     const std::string& at) {
  const auto kind = OutcomeKindOf(kindText);
  if (!kind) return std::nullopt;
  return WishOutcome{*kind, std::move(orderId), std::move(member), NumberOr(at, 0)};
}

std::optional<WishOutcome> OutcomeOfHash(const RedisReply& fields) {
  std::string kind, orderId, member, at;
  for (std::size_t i = 0; i + 1 < fields.elements.size(); i += 2) {
    const std::string& name = fields.elements[i].text;
    const std::string& value = fields.elements[i + 1].text;
    if (name == "outcome") kind = value;
    if (name == "order_id") orderId = value;
    if (name == "by") member = value;
    if (name == "at") at = value;
  }
  return OutcomeOf(kind, orderId, member, at);
}

std::optional<Sighting> SightingOf(const RedisReply& entry) {
  if (entry.kind != RedisReplyKind::kArray || entry.elements.size() != 2 || !IsText(entry.elements[0]) ||
      entry.elements[1].kind != RedisReplyKind::kArray) {
    return std::nullopt;
  }
  Sighting sighting;
  sighting.id = entry.elements[0].text;
  const auto& fields = entry.elements[1].elements;
  for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
    const std::string& name = fields[i].text;
    const std::string& value = fields[i + 1].text;
    if (name == "account") sighting.account = value;
    if (name == "wish") sighting.wish = value;
    if (name == "date") sighting.date = value;
    if (name == "from") sighting.fromStation = value;
    if (name == "to") sighting.toStation = value;
    if (name == "train") sighting.train = value;
    if (name == "class") sighting.seatClass = value;
    if (name == "member") sighting.member = value;
    if (name == "train_no") sighting.trainNo = value;
    if (name == "secret") sighting.secretStr = value;
    if (name == "left_ticket") sighting.leftTicket = value;
    if (name == "location") sighting.trainLocation = value;
    if (name == "at") sighting.unixMs = NumberOr(value, 0);
  }
  return sighting;
}

std::vector<std::string> TextsOf(const RedisReply& reply) {
  std::vector<std::string> texts;
  for (const RedisReply& element : reply.elements) {
    if (IsText(element)) texts.push_back(element.text);
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

}  // namespace

std::int64_t UnixMsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

FleetStore::FleetStore(RedisAddress address, std::string fleetName, RedisTimeouts timeouts, FleetTimings timings)
    : name_(std::move(fleetName)), keys_(name_), timings_(timings), pool_(std::move(address), timeouts) {}

RedisFailure FleetStore::Ping() { return Expect(pool_.Command({"PING"}), {RedisReplyKind::kStatus}); }

RedisFailure FleetStore::Beat(const std::string& member, const std::string& address) {
  const RedisResult added = pool_.Command({"SADD", keys_.Members(), member});
  if (!added.Ok()) return added.failure;
  return Expect(pool_.Command({"SET", keys_.Member(member), std::to_string(UnixMsNow()) + " " + address, "PX",
                               std::to_string(timings_.heartbeatTtl.count())}),
                {RedisReplyKind::kStatus});
}

RedisFailure FleetStore::Leave(const std::string& member) {
  const RedisResult gone = pool_.Command({"DEL", keys_.Member(member)});
  if (!gone.Ok()) return gone.failure;
  return Expect(pool_.Command({"SREM", keys_.Members(), member}), {RedisReplyKind::kInteger});
}

LeaseResult FleetStore::TakeLease(const std::string& account, const std::string& member) {
  LeaseResult result;
  const RedisResult known = pool_.Command({"SADD", keys_.Accounts(), account});
  if (!known.Ok()) {
    result.failure = known.failure;
    return result;
  }
  const RedisResult set =
      pool_.Command({"SET", keys_.Lease(account), member, "NX", "PX", std::to_string(timings_.leaseTtl.count())});
  result.failure = Expect(set, {RedisReplyKind::kStatus, RedisReplyKind::kNil});
  if (result.failure != RedisFailure::kNone) return result;
  if (set.reply.kind == RedisReplyKind::kStatus) {
    result.state = LeaseState::kHeld;
    result.holder = member;
    return result;
  }
  // Someone holds it: perhaps this member already (or its own earlier try
  // that went through before the connection broke).
  return RenewLease(account, member);
}

LeaseResult FleetStore::RenewLease(const std::string& account, const std::string& member) {
  LeaseResult result;
  const RedisResult renewed = pool_.Command(
      {"EVAL", kCompareAndExtend, "1", keys_.Lease(account), member, std::to_string(timings_.leaseTtl.count())});
  result.failure = Expect(renewed, {RedisReplyKind::kInteger});
  if (result.failure != RedisFailure::kNone) return result;
  if (renewed.reply.integer == 1) {
    result.state = LeaseState::kHeld;
    result.holder = member;
    return result;
  }
  return HolderAfterRefusal(account, member);
}

LeaseResult FleetStore::HolderAfterRefusal(const std::string& account, const std::string& member) {
  LeaseResult result;
  const HolderResult holder = LeaseHolder(account);
  result.failure = holder.failure;
  if (holder.failure != RedisFailure::kNone) return result;
  // Between the refusal and this read the key may have gone and come back
  // as this member's; that still counts as not held, the next try takes it.
  result.state = LeaseState::kHeldByOther;
  result.holder = holder.holder == member ? std::string() : holder.holder;
  return result;
}

RedisFailure FleetStore::ReleaseLease(const std::string& account, const std::string& member) {
  return Expect(pool_.Command({"EVAL", kCompareAndDelete, "1", keys_.Lease(account), member}),
                {RedisReplyKind::kInteger});
}

HolderResult FleetStore::LeaseHolder(const std::string& account) {
  const RedisResult got = pool_.Command({"GET", keys_.Lease(account)});
  HolderResult result;
  result.failure = Expect(got, {RedisReplyKind::kText, RedisReplyKind::kNil});
  if (result.failure == RedisFailure::kNone) result.holder = got.reply.text;
  return result;
}

RedisFailure FleetStore::StoreSignIn(const std::string& account, const std::string& cookies) {
  return Expect(pool_.Command({"SET", keys_.SignIn(account), cookies}), {RedisReplyKind::kStatus});
}

RedisFailure FleetStore::StoreSignIn(const std::string& account, const CookieJar& jar) {
  return StoreSignIn(account, jar.Text());
}

SignInResult FleetStore::ReadSignIn(const std::string& account) {
  const RedisResult got = pool_.Command({"GET", keys_.SignIn(account)});
  SignInResult result;
  result.failure = Expect(got, {RedisReplyKind::kText, RedisReplyKind::kNil});
  if (result.failure == RedisFailure::kNone && got.reply.kind == RedisReplyKind::kText) result.cookies = got.reply.text;
  return result;
}

RedisFailure FleetStore::StorePassengers(const std::string& account, const std::string& passengers) {
  return Expect(pool_.Command({"SET", keys_.Passengers(account), passengers}), {RedisReplyKind::kStatus});
}

StoredPassengersResult FleetStore::ReadPassengers(const std::string& account) {
  const RedisResult got = pool_.Command({"GET", keys_.Passengers(account)});
  StoredPassengersResult result;
  result.failure = Expect(got, {RedisReplyKind::kText, RedisReplyKind::kNil});
  if (result.failure == RedisFailure::kNone && got.reply.kind == RedisReplyKind::kText) {
    result.passengers = got.reply.text;
  }
  return result;
}

bool FleetStore::LoadSignIn(const std::string& account, CookieJar& jar) {
  SignInResult stored = ReadSignIn(account);
  if (!stored.cookies) return false;
  jar.SetText(std::move(*stored.cookies));
  return true;
}

PublishResult FleetStore::PublishSighting(const Sighting& s) {
  const RedisResult added = pool_.Command({"XADD",
                                           keys_.Sightings(),
                                           "MAXLEN",
                                           "~",
                                           std::to_string(kSightingsKept),
                                           "*",
                                           "account",
                                           s.account,
                                           "wish",
                                           s.wish,
                                           "date",
                                           s.date,
                                           "from",
                                           s.fromStation,
                                           "to",
                                           s.toStation,
                                           "train",
                                           s.train,
                                           "class",
                                           s.seatClass,
                                           "member",
                                           s.member,
                                           "train_no",
                                           s.trainNo,
                                           "secret",
                                           s.secretStr,
                                           "left_ticket",
                                           s.leftTicket,
                                           "location",
                                           s.trainLocation,
                                           "at",
                                           std::to_string(s.unixMs)});
  PublishResult result;
  result.failure = Expect(added, {RedisReplyKind::kText, RedisReplyKind::kStatus});
  if (result.failure == RedisFailure::kNone) result.id = added.reply.text;
  return result;
}

PublishResult FleetStore::LatestSightingId() {
  const RedisResult newest = pool_.Command({"XREVRANGE", keys_.Sightings(), "+", "-", "COUNT", "1"});
  PublishResult result;
  result.failure = Expect(newest, {RedisReplyKind::kArray});
  if (result.failure != RedisFailure::kNone) return result;
  result.id = "0-0";
  if (!newest.reply.elements.empty()) {
    if (const auto entry = SightingOf(newest.reply.elements.front())) result.id = entry->id;
  }
  return result;
}

SightingsResult FleetStore::ReadSightings(const std::string& afterId, std::chrono::milliseconds block, int most) {
  // BLOCK 0 would wait for ever, past any command timeout.
  block = std::max(block, std::chrono::milliseconds(1));
  const RedisResult read = pool_.Command({"XREAD", "COUNT", std::to_string(std::max(most, 1)), "BLOCK",
                                          std::to_string(block.count()), "STREAMS", keys_.Sightings(), afterId},
                                         block);
  SightingsResult result;
  result.lastId = afterId;
  result.failure = Expect(read, {RedisReplyKind::kArray, RedisReplyKind::kNil});
  if (result.failure != RedisFailure::kNone || read.reply.kind == RedisReplyKind::kNil) return result;
  // [[stream, [[id, [field, value, ...]], ...]]]
  for (const RedisReply& stream : read.reply.elements) {
    if (stream.elements.size() != 2) continue;
    for (const RedisReply& entry : stream.elements[1].elements) {
      if (auto sighting = SightingOf(entry)) {
        result.lastId = sighting->id;
        result.sightings.push_back(std::move(*sighting));
      }
    }
  }
  return result;
}

OrderLockResult FleetStore::TakeOrderLock(const std::string& wish, const std::string& member) {
  OrderLockResult result;
  const RedisResult known = pool_.Command({"SADD", keys_.Wishes(), wish});
  if (!known.Ok()) {
    result.failure = known.failure;
    return result;
  }
  const RedisResult set = pool_.Command({"SET", keys_.OrderLock(wish), member, "NX"});
  result.failure = Expect(set, {RedisReplyKind::kStatus, RedisReplyKind::kNil});
  if (result.failure != RedisFailure::kNone) return result;
  if (set.reply.kind == RedisReplyKind::kStatus) {
    result.taken = true;
    result.holder = member;
    return result;
  }
  const RedisResult holder = pool_.Command({"GET", keys_.OrderLock(wish)});
  result.failure = Expect(holder, {RedisReplyKind::kText, RedisReplyKind::kNil});
  result.holder = holder.reply.text;
  result.taken = result.failure == RedisFailure::kNone && holder.reply.text == member;
  return result;
}

RedisFailure FleetStore::ReleaseOrderLock(const std::string& wish, const std::string& member) {
  // While the lock is still this member's, the mark can only be its own (or an older one).
  const RedisResult unmarked =
      pool_.Command({"HDEL", keys_.Wish(wish), "confirming", "confirming_train", "confirming_date", "confirming_seat"});
  if (!unmarked.Ok()) return unmarked.failure;
  return Expect(pool_.Command({"EVAL", kCompareAndDelete, "1", keys_.OrderLock(wish), member}),
                {RedisReplyKind::kInteger});
}

RedisFailure FleetStore::NoteConfirming(const std::string& wish, const std::string& member,
                                        const ConfirmingOrder& order) {
  return Expect(pool_.Command({"HSET", keys_.Wish(wish), "confirming", member, "confirming_train", order.train,
                               "confirming_date", order.date, "confirming_seat", order.seatType}),
                {RedisReplyKind::kInteger});
}

HolderResult FleetStore::OrderLockHolder(const std::string& wish) {
  const RedisResult got = pool_.Command({"GET", keys_.OrderLock(wish)});
  HolderResult result;
  result.failure = Expect(got, {RedisReplyKind::kText, RedisReplyKind::kNil});
  if (result.failure == RedisFailure::kNone && got.reply.kind == RedisReplyKind::kText) result.holder = got.reply.text;
  return result;
}

ConfirmingResult FleetStore::ReadConfirming(const std::string& wish) {
  const RedisResult got = pool_.Command(
      {"HMGET", keys_.Wish(wish), "confirming", "confirming_train", "confirming_date", "confirming_seat"});
  ConfirmingResult result;
  result.failure = Expect(got, {RedisReplyKind::kArray});
  if (result.failure != RedisFailure::kNone) return result;
  const auto& fields = got.reply.elements;
  if (fields.size() != 4) {
    result.failure = RedisFailure::kUnexpectedReply;
    return result;
  }
  // A field that is not there (nil) reads as empty.
  result.holder = fields[0].text;
  result.order = ConfirmingOrder{fields[1].text, fields[2].text, fields[3].text};
  return result;
}

AliveResult FleetStore::MemberAlive(const std::string& member) {
  const RedisResult beat = pool_.Command({"EXISTS", keys_.Member(member)});
  AliveResult result;
  result.failure = Expect(beat, {RedisReplyKind::kInteger});
  result.alive = result.failure == RedisFailure::kNone && beat.reply.integer > 0;
  return result;
}

RedisFailure FleetStore::NoteAttempt(const std::string& wish) {
  const RedisResult known = pool_.Command({"SADD", keys_.Wishes(), wish});
  if (!known.Ok()) return known.failure;
  return Expect(pool_.Command({"HINCRBY", keys_.Wish(wish), "attempts", "1"}), {RedisReplyKind::kInteger});
}

RecordOutcomeResult FleetStore::RecordOutcome(const std::string& wish, WishOutcomeKind kind, const std::string& orderId,
                                              const std::string& member) {
  const RedisResult stored = pool_.Command(
      {"EVAL", kRecordFirstOutcome, "2", keys_.Wish(wish), keys_.Wishes(), OutcomeText(kind),
       kind == WishOutcomeKind::kBooked ? orderId : std::string(), member, std::to_string(UnixMsNow()), wish});
  RecordOutcomeResult result;
  result.failure = Expect(stored, {RedisReplyKind::kArray});
  if (result.failure != RedisFailure::kNone) return result;
  const auto& e = stored.reply.elements;
  if (e.size() != 5) {
    result.failure = RedisFailure::kUnexpectedReply;
    return result;
  }
  result.stored = OutcomeOf(e[1].text, e[2].text, e[3].text, e[4].text);
  // A repeated call finds its own first write: still this member's outcome.
  result.recorded = result.stored && result.stored->member == member && result.stored->kind == kind &&
                    (kind != WishOutcomeKind::kBooked || result.stored->orderId == orderId);
  return result;
}

OutcomeResult FleetStore::ReadOutcome(const std::string& wish) {
  const RedisResult fields = pool_.Command({"HGETALL", keys_.Wish(wish)});
  OutcomeResult result;
  result.failure = Expect(fields, {RedisReplyKind::kArray});
  if (result.failure == RedisFailure::kNone) result.outcome = OutcomeOfHash(fields.reply);
  return result;
}

DoneResult FleetStore::AllDone(const std::vector<std::string>& wishes) {
  DoneResult result;
  for (const std::string& wish : wishes) {
    const RedisResult has = pool_.Command({"HEXISTS", keys_.Wish(wish), "outcome"});
    result.failure = Expect(has, {RedisReplyKind::kInteger});
    if (result.failure != RedisFailure::kNone || has.reply.integer == 0) return result;
  }
  result.done = true;
  return result;
}

StatusResult FleetStore::ReadStatus() {
  StatusResult result;
  const auto setOf = [&](const std::string& key, std::vector<std::string>& out) {
    const RedisResult members = pool_.Command({"SMEMBERS", key});
    result.failure = Expect(members, {RedisReplyKind::kArray});
    if (result.failure == RedisFailure::kNone) out = TextsOf(members.reply);
    return result.failure == RedisFailure::kNone;
  };
  std::vector<std::string> members, accounts, wishes;
  if (!setOf(keys_.Members(), members) || !setOf(keys_.Accounts(), accounts) || !setOf(keys_.Wishes(), wishes)) {
    return result;
  }
  for (const std::string& id : members) {
    const RedisResult beat = pool_.Command({"GET", keys_.Member(id)});
    if ((result.failure = Expect(beat, {RedisReplyKind::kText, RedisReplyKind::kNil})) != RedisFailure::kNone) {
      return result;
    }
    if (beat.reply.kind == RedisReplyKind::kNil) {
      // Its heartbeat ran out: gone. Forgetting it is only tidying.
      pool_.Command({"SREM", keys_.Members(), id});
      continue;
    }
    const std::size_t space = beat.reply.text.find(' ');
    MemberStatus member{id, space == std::string::npos ? std::string() : beat.reply.text.substr(space + 1),
                        NumberOr(beat.reply.text.substr(0, space), 0)};
    result.status.members.push_back(std::move(member));
  }
  for (const std::string& account : accounts) {
    const HolderResult holder = LeaseHolder(account);
    if ((result.failure = holder.failure) != RedisFailure::kNone) return result;
    result.status.accounts.push_back({account, holder.holder});
  }
  for (const std::string& wish : wishes) {
    const RedisResult fields = pool_.Command({"HGETALL", keys_.Wish(wish)});
    if ((result.failure = Expect(fields, {RedisReplyKind::kArray})) != RedisFailure::kNone) return result;
    const RedisResult lock = pool_.Command({"GET", keys_.OrderLock(wish)});
    if ((result.failure = Expect(lock, {RedisReplyKind::kText, RedisReplyKind::kNil})) != RedisFailure::kNone) {
      return result;
    }
    WishStatus status{wish, 0, OutcomeOfHash(fields.reply), lock.reply.text};
    for (std::size_t i = 0; i + 1 < fields.reply.elements.size(); i += 2) {
      if (fields.reply.elements[i].text == "attempts") status.attempts = NumberOr(fields.reply.elements[i + 1].text, 0);
    }
    result.status.wishes.push_back(std::move(status));
  }
  return result;
}

}  // namespace quillet::fleet
