#include "session/session_status.h"

namespace quillet {
namespace {

StatusTime Now() { return std::chrono::system_clock::now(); }

}  // namespace

WishStatus* SessionStatusRecorder::WishLocked(std::size_t index) {
  return index < wishes_.size() ? &wishes_[index] : nullptr;
}

void SessionStatusRecorder::WishAdded(std::size_t index, const OrderWish& wish) {
  WishStatus status;
  status.index = index;
  status.dates = wish.dates;
  status.trains = wish.trains;
  status.seatTypes = wish.seatTypes;
  for (const WishPassenger& passenger : wish.passengers) status.passengers.push_back(passenger.name);
  std::lock_guard lock(mutex_);
  if (wishes_.size() <= index) wishes_.resize(index + 1);
  wishes_[index] = std::move(status);
}

void SessionStatusRecorder::Started(std::size_t wishCount) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < wishCount && i < wishes_.size(); ++i) {
    wishes_[i].outcome = WishOutcome::kRunning;
    wishes_[i].ending.reset();
    wishes_[i].attemptsThisStart = 0;
    wishes_[i].nextQueryAt.reset();  // an earlier booking stays among the session's bookings
  }
}

void SessionStatusRecorder::Attempt(const GrabAttempt& attempt) {
  const StatusTime at = Now();
  std::lock_guard lock(mutex_);
  if (WishStatus* wish = WishLocked(attempt.wishIndex)) {
    ++wish->attempts;
    // A worker counts its own attempts; a stopped worker of an earlier start
    // never counts on past the stop, so the latest start's count is the worker's.
    wish->attemptsThisStart = attempt.attempt;
    wish->lastQuery = StatusQuery{at, false, {}, {}, ServiceResultKind::kDone, {}};
    wish->nextQueryAt.reset();  // the pass is the query that was next
  }
}

void SessionStatusRecorder::PassSeen(const quillet::PassSeen& pass) {
  std::lock_guard lock(mutex_);
  if (WishStatus* wish = WishLocked(pass.wishIndex)) wish->lastSeen = pass.classes;
}

void SessionStatusRecorder::NextQueryAt(const NextQuery& next) {
  std::lock_guard lock(mutex_);
  WishStatus* wish = WishLocked(next.wishIndex);
  // A worker still pausing after a stop says nothing true about the wish.
  if (wish != nullptr && wish->outcome == WishOutcome::kRunning) wish->nextQueryAt = next.at;
}

void SessionStatusRecorder::QueryFailed(const QueryFailure& failure) {
  const StatusTime at = Now();
  std::lock_guard lock(mutex_);
  WishStatus* wish = WishLocked(failure.wishIndex);
  if (wish == nullptr) return;
  // A failure told before any attempt (none is) still gets a moment.
  if (!wish->lastQuery) wish->lastQuery = StatusQuery{at, false, {}, {}, ServiceResultKind::kDone, {}};
  wish->lastQuery->failed = true;
  wish->lastQuery->failedDate = failure.date;
  wish->lastQuery->reason = failure.message;
  wish->lastQuery->kind = failure.kind;
  wish->lastQuery->answer = failure.answer;
}

void SessionStatusRecorder::Refused(const OrderReport& order) {
  const StatusTime at = Now();
  std::lock_guard lock(mutex_);
  if (WishStatus* wish = WishLocked(order.wishIndex)) wish->lastRefusal = StatusOrder{at, order};
}

void SessionStatusRecorder::Booked(const OrderReport& order) {
  const StatusOrder booked{Now(), order};
  std::lock_guard lock(mutex_);
  bookings_.push_back(booked);
  if (WishStatus* wish = WishLocked(order.wishIndex)) {
    wish->outcome = WishOutcome::kBooked;
    wish->ending = booked;
    wish->nextQueryAt.reset();
  }
}

void SessionStatusRecorder::NeedsManualCheck(const OrderReport& order) {
  const StatusOrder manual{Now(), order};
  std::lock_guard lock(mutex_);
  if (WishStatus* wish = WishLocked(order.wishIndex)) {
    wish->outcome = WishOutcome::kManualCheck;
    wish->ending = manual;
    wish->nextQueryAt.reset();
  }
}

void SessionStatusRecorder::Stopped() {
  std::lock_guard lock(mutex_);
  for (WishStatus& wish : wishes_) {
    if (wish.outcome == WishOutcome::kRunning) wish.outcome = WishOutcome::kStopped;
    wish.nextQueryAt.reset();
  }
}

void SessionStatusRecorder::CopyInto(SessionStatus& status) const {
  std::lock_guard lock(mutex_);
  status.wishes = wishes_;
  status.bookings = bookings_;
}

}  // namespace quillet
