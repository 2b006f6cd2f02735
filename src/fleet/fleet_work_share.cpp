#include "fleet/fleet_work_share.h"

#include <utility>

#include "fleet/fleet_member.h"
#include "util/wait.h"

namespace quillet::fleet {
namespace {

// An outcome is written down before anyone hears of it; a Redis that does
// not answer is given a few seconds. Should it stay silent, the wish keeps
// its order lock, so no member orders it again.
constexpr int kRecordTries = 10;
constexpr std::chrono::milliseconds kRecordRetryWait{300};

}  // namespace

std::string DefaultWishName(const std::string& account, std::size_t index) {
  return account + "/" + std::to_string(index + 1);
}

FleetWorkShare::FleetWorkShare(std::shared_ptr<FleetStore> store, const FleetMemberSettings& settings,
                               std::vector<OrderWish> wishes)
    : store_(std::move(store)),
      member_(settings.member),
      account_(settings.account),
      shareIndex_(settings.shareIndex),
      shareCount_(settings.shareCount == 0 ? 1 : settings.shareCount),
      wishes_(std::move(wishes)),
      ended_(wishes_.size()),
      seen_(wishes_.size()),
      seenSignals_(wishes_.size()),
      inDoubt_(wishes_.size()) {
  for (std::size_t w = 0; w < wishes_.size(); ++w) {
    const bool named = w < settings.wishNames.size() && !settings.wishNames[w].empty();
    names_.push_back(named ? settings.wishNames[w] : DefaultWishName(account_, w));
    pairCounts_.push_back(StationPairsOf(wishes_[w]).size());
  }
}

bool FleetWorkShare::Queries(std::size_t wishIndex, std::size_t dateIndex, std::size_t pairIndex) {
  if (wishIndex >= wishes_.size()) return false;
  const std::size_t place = wishIndex + dateIndex * pairCounts_[wishIndex] + pairIndex;
  const std::size_t count = shareCount_.load();
  return place % count == shareIndex_.load() % count;
}

void FleetWorkShare::SetShare(std::size_t index, std::size_t count) {
  if (count == 0) return;
  shareCount_.store(count);
  shareIndex_.store(index);
}

bool FleetWorkShare::Orders(std::size_t /*wishIndex*/) { return held_.load(); }

void FleetWorkShare::Sighted(std::size_t wishIndex, const SeenSeat& seen) {
  if (wishIndex >= wishes_.size()) return;
  Sighting sighting;
  sighting.account = account_;
  sighting.wish = names_[wishIndex];
  sighting.date = seen.date;
  sighting.fromStation = seen.pair.from.telecode;
  sighting.toStation = seen.pair.to.telecode;
  sighting.train = seen.train.stationTrainCode;
  sighting.seatClass = seen.seatCode;
  sighting.member = member_;
  sighting.unixMs = UnixMsNow();
  sighting.trainNo = seen.train.trainNo;
  sighting.secretStr = seen.train.secretStr;
  sighting.leftTicket = seen.train.leftTicket;
  sighting.trainLocation = seen.train.trainLocation;
  // A sighting that does not get through is seen again at the next pass.
  store_->PublishSighting(sighting);
}

std::optional<SeenSeat> FleetWorkShare::NextSeenElsewhere(std::size_t wishIndex, std::chrono::milliseconds wait,
                                                          const std::stop_token& stop) {
  if (wishIndex >= wishes_.size()) {
    WaitUnlessStopped(stop, wait);
    return std::nullopt;
  }
  std::unique_lock lock(mutex_);
  const auto arrived = [&] { return seen_[wishIndex].has_value(); };
  if (wait.count() > 0) seenArrived_.wait_for(lock, stop, wait, arrived);
  if (!arrived() || stop.stop_requested()) return std::nullopt;
  std::optional<SeenSeat> seat = std::move(seen_[wishIndex]);
  seen_[wishIndex].reset();
  return seat;
}

std::stop_token FleetWorkShare::SeenElsewhereSignal(std::size_t wishIndex) {
  if (wishIndex >= wishes_.size()) return {};
  std::lock_guard lock(mutex_);
  // The seat it told of was taken (or forgotten): a fresh signal.
  if (!seen_[wishIndex] && seenSignals_[wishIndex].stop_requested()) seenSignals_[wishIndex] = std::stop_source();
  return seenSignals_[wishIndex].get_token();
}

OrderPermit FleetWorkShare::BeforeOrder(std::size_t wishIndex) {
  if (wishIndex >= wishes_.size() || !held_.load()) return OrderPermit::kNotNow;
  OrderLockResult lock = store_->TakeOrderLock(names_[wishIndex], member_);
  if (!lock.taken && lock.failure == RedisFailure::kNone) {
    const OrderPermit permit = AfterLockRefused(wishIndex, lock.holder);
    if (permit != OrderPermit::kGranted) return permit;
    lock = store_->TakeOrderLock(names_[wishIndex], member_);
  }
  if (!lock.taken) return OrderPermit::kNotNow;
  // The lease may have gone while the lock was taken: the next holder orders.
  if (!held_.load()) {
    store_->ReleaseOrderLock(names_[wishIndex], member_);
    return OrderPermit::kNotNow;
  }
  store_->NoteAttempt(names_[wishIndex]);
  return OrderPermit::kGranted;
}

// The wish's lock is held by `holder`. While that member lives, its chain
// runs (or it records the end). A holder that is gone left the lock: before
// its confirmation no order of it can stand at the service, so the lock is
// given up and taken again (kGranted: try to take it); after it, the order's
// outcome is unknown, which is written down as a case for a person.
OrderPermit FleetWorkShare::AfterLockRefused(std::size_t wishIndex, const std::string& holder) {
  if (holder.empty() || holder == member_) return OrderPermit::kNotNow;
  const AliveResult alive = store_->MemberAlive(holder);
  if (alive.failure != RedisFailure::kNone || alive.alive) return OrderPermit::kNotNow;
  const ConfirmingResult confirming = store_->ReadConfirming(names_[wishIndex]);
  if (confirming.failure != RedisFailure::kNone) return OrderPermit::kNotNow;
  if (confirming.holder != holder) {
    if (store_->ReleaseOrderLock(names_[wishIndex], holder) != RedisFailure::kNone) return OrderPermit::kNotNow;
    return OrderPermit::kGranted;
  }
  const RecordOutcomeResult recorded =
      store_->RecordOutcome(names_[wishIndex], WishOutcomeKind::kManualCheck, {}, member_);
  if (recorded.failure != RedisFailure::kNone) return OrderPermit::kNotNow;
  // Another outcome was there first (the holder recorded it as it went):
  // the wish ends for the fleet through it.
  if (!recorded.recorded) return OrderPermit::kNotNow;
  if (!confirming.order.train.empty()) {
    std::lock_guard lock(mutex_);
    inDoubt_[wishIndex] = confirming.order;
  }
  return OrderPermit::kInDoubt;
}

std::optional<ConfirmingOrder> FleetWorkShare::OrderInDoubt(std::size_t wishIndex) {
  std::lock_guard lock(mutex_);
  if (wishIndex >= inDoubt_.size()) return std::nullopt;
  return inDoubt_[wishIndex];
}

bool FleetWorkShare::OrderLeftInDoubt(std::size_t wishIndex) {
  if (wishIndex >= wishes_.size() || !held_.load()) return false;
  const HolderResult lock = store_->OrderLockHolder(names_[wishIndex]);
  if (lock.failure != RedisFailure::kNone) return false;
  // A lock given up here is taken by the next order as usual.
  return AfterLockRefused(wishIndex, lock.holder) == OrderPermit::kInDoubt;
}

bool FleetWorkShare::Confirming(std::size_t wishIndex, const GrabTask& task) {
  if (wishIndex >= wishes_.size()) return false;
  // Written down before the confirmation goes. Unwritten, it does not go:
  // should this member vanish, the others would take the lock for one that
  // placed no order and order again.
  const ConfirmingOrder order{task.stationTrainCode, task.trainDate, task.seatType};
  for (int tries = 0; tries < kRecordTries; ++tries) {
    if (store_->NoteConfirming(names_[wishIndex], member_, order) == RedisFailure::kNone) {
      // A lease lost meanwhile: the next holder orders.
      return held_.load();
    }
    if (!held_.load()) return false;
    WaitUnlessStopped({}, kRecordRetryWait);
  }
  return false;
}

void FleetWorkShare::AfterOrder(std::size_t wishIndex, const GrabTask& task, const OrderOutcome& outcome) {
  if (wishIndex >= wishes_.size()) return;
  switch (outcome.kind) {
    case OrderOutcomeKind::kBooked:
      Record(wishIndex, WishOutcomeKind::kBooked, task.orderId);
      return;
    // An order may stand at the service: a person looks, nobody orders again.
    case OrderOutcomeKind::kManualCheck:
    case OrderOutcomeKind::kAbandoned:
      Record(wishIndex, WishOutcomeKind::kManualCheck, task.orderId);
      return;
    case OrderOutcomeKind::kFailed:
    case OrderOutcomeKind::kSessionLapsed:
    case OrderOutcomeKind::kStopped:
      store_->ReleaseOrderLock(names_[wishIndex], member_);
      return;
  }
}

void FleetWorkShare::Record(std::size_t wishIndex, WishOutcomeKind kind, const std::string& orderId) {
  for (int tries = 0; tries < kRecordTries; ++tries) {
    if (store_->RecordOutcome(names_[wishIndex], kind, orderId, member_).failure == RedisFailure::kNone) break;
    WaitUnlessStopped({}, kRecordRetryWait);
  }
}

std::stop_token FleetWorkShare::WishEnded(std::size_t wishIndex) {
  return wishIndex < ended_.size() ? ended_[wishIndex].get_token() : std::stop_token();
}

void FleetWorkShare::SetHeld(bool held) {
  held_.store(held);
  if (held) return;
  std::lock_guard lock(mutex_);
  for (auto& seat : seen_) seat.reset();
}

void FleetWorkShare::Feed(const Sighting& sighting) {
  if (!held_.load() || sighting.member == member_ || sighting.account != account_) return;
  for (std::size_t w = 0; w < wishes_.size(); ++w) {
    if (names_[w] != sighting.wish) continue;
    std::optional<SeenSeat> seat = SeenOf(w, sighting);
    if (!seat) return;
    {
      std::lock_guard lock(mutex_);
      seen_[w] = std::move(seat);
      seenSignals_[w].request_stop();
    }
    seenArrived_.notify_all();
    return;
  }
}

std::optional<SeenSeat> FleetWorkShare::SeenOf(std::size_t wishIndex, const Sighting& sighting) const {
  const OrderWish& wish = wishes_[wishIndex];
  SeenSeat seat;
  bool knownPair = false;
  for (const StationPair& pair : StationPairsOf(wish)) {
    if (pair.from.telecode == sighting.fromStation && pair.to.telecode == sighting.toStation) {
      seat.pair = pair;
      knownPair = true;
      break;
    }
  }
  bool knownDate = false;
  for (const std::string& date : wish.dates) knownDate = knownDate || date == sighting.date;
  // A sighting that is not of this wish as this member knows it (another
  // plan's, or a spoilt entry) orders nothing.
  if (!knownPair || !knownDate || sighting.train.empty() || sighting.seatClass.empty()) return std::nullopt;
  seat.date = sighting.date;
  seat.train.stationTrainCode = sighting.train;
  seat.train.trainNo = sighting.trainNo;
  seat.train.secretStr = sighting.secretStr;
  seat.train.leftTicket = sighting.leftTicket;
  seat.train.trainLocation = sighting.trainLocation;
  seat.seatCode = sighting.seatClass;
  return seat;
}

void FleetWorkShare::EndWish(std::size_t wishIndex) {
  if (wishIndex < ended_.size()) ended_[wishIndex].request_stop();
}

bool FleetWorkShare::WishHasEnded(std::size_t wishIndex) const {
  return wishIndex < ended_.size() && ended_[wishIndex].stop_requested();
}

}  // namespace quillet::fleet
