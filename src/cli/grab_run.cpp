#include "cli/grab_run.h"

#include "util/codepage.h"

namespace quillet::cli {
namespace {

cli::EventOrder OrderOf(const OrderReport& report) {
  cli::EventOrder order;
  order.wish = static_cast<int>(report.wishIndex) + 1;
  order.date = report.date;
  order.train = report.train;
  order.seat = report.seatName.empty() ? report.seatType : report.seatName;
  order.passengers = report.passengers;
  return order;
}

// "an order for G101 on 2026-12-20 (张三, 李四) was submitted; check the account's unpaid orders\n", UTF-8.
std::string AbandonedOrderLine(const OrderReport& order) {
  std::string names;
  for (const std::string& name : order.passengers) names += (names.empty() ? "" : ", ") + Utf8FromGbk(name);
  return "an order for " + Utf8FromGbk(order.train) + " on " + Utf8FromGbk(order.date) + " (" + names +
         ") was submitted; check the account's unpaid orders\n";
}

}  // namespace

GrabRun::GrabRun(EventOutput& output, std::size_t wishCount, std::ostream& errors)
    : output_(output), errors_(errors), wishCount_(wishCount) {}

void GrabRun::OnGrabAttempt(const GrabAttempt& attempt) {
  std::int64_t attempts = attempt.attempt;
  if (readStatus_) {
    const SessionStatus status = readStatus_();
    if (attempt.wishIndex < status.wishes.size()) {
      attempts = static_cast<std::int64_t>(status.wishes[attempt.wishIndex].attempts);
    }
  }
  output_.Write(AttemptEvent{static_cast<int>(attempt.wishIndex) + 1, attempts});
}

void GrabRun::OnQueryFailed(const QueryFailure& failure) {
  output_.Write(QueryFailedEvent{static_cast<int>(failure.wishIndex) + 1, failure.date, failure.message});
}

void GrabRun::OnOrderAbandoned(const OrderReport& order) {
  // Written at once and whole: the program is closing.
  errors_ << AbandonedOrderLine(order) << std::flush;
}

void GrabRun::OnOrderRefused(const OrderReport& order) {
  output_.Write(OrderRefusedEvent{OrderOf(order), order.message});
}

void GrabRun::OnOrderBooked(const OrderReport& order) {
  if (beforeBooked_) beforeBooked_(order.wishIndex);
  std::vector<BookedSeat> seats;
  if (seatReader_ && !order.orderId.empty()) seats = seatReader_(order);
  output_.Write(BookedEvent{OrderOf(order), order.orderId, false, std::move(seats)});
  {
    std::lock_guard lock(mutex_);
    booked_.insert(order.wishIndex);
  }
  changed_.notify_all();
}

void GrabRun::OnWaitlistFilled(const OrderReport& order) {
  output_.Write(BookedEvent{OrderOf(order), order.orderId, true});
  {
    std::lock_guard lock(mutex_);
    booked_.insert(order.wishIndex);
  }
  changed_.notify_all();
}

void GrabRun::OnOrderNeedsManualCheck(const OrderReport& order) {
  output_.Write(ManualCheckEvent{OrderOf(order), order.message});
  {
    std::lock_guard lock(mutex_);
    manual_.insert(order.wishIndex);
  }
  changed_.notify_all();
}

void GrabRun::OnSignedIn() { output_.Write(SignedInEvent{signInMethod_, true}); }

void GrabRun::OnTrainsNotRunning(const TrainsNotRunning& notRunning) {
  for (const std::string& train : notRunning.trains)
    output_.Write(UnknownTrainEvent{static_cast<int>(notRunning.wishIndex) + 1, train});
}

void GrabRun::OnWishWithoutTrains(const WishWithoutTrains& without) {
  output_.Write(NoTrainRunsEvent{static_cast<int>(without.wishIndex) + 1});
  {
    std::lock_guard lock(mutex_);
    failed_.insert(without.wishIndex);
  }
  changed_.notify_all();
}

void GrabRun::OnSessionLapsed(const SessionLapse&) {
  output_.Write(SessionLapsedEvent{});
  {
    std::lock_guard lock(mutex_);
    lapsed_ = true;
  }
  changed_.notify_all();
}

GrabRun::Wake GrabRun::WaitForChange() {
  for (;;) {
    if (const std::optional<Wake> wake = WaitForChangeFor(std::chrono::hours(1))) return *wake;
  }
}

std::optional<GrabRun::Wake> GrabRun::WaitForChangeFor(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  const bool changed = changed_.wait_for(lock, wait, [this] {
    return signal_ != 0 || lapsed_ || booked_.size() + manual_.size() + failed_.size() >= wishCount_;
  });
  if (!changed) return std::nullopt;
  if (signal_ != 0) return Wake::kSignal;
  if (lapsed_) {
    lapsed_ = false;
    return Wake::kSessionLapsed;
  }
  return Wake::kAllEnded;
}

void GrabRun::AcceptSignals(bool accept) {
  std::lock_guard lock(mutex_);
  acceptSignals_ = accept;
}

bool GrabRun::TakeSignal(int signalNumber) {
  {
    std::lock_guard lock(mutex_);
    if (!acceptSignals_) return false;
    if (signal_ == 0) signal_ = signalNumber;
  }
  changed_.notify_all();
  return true;
}

int GrabRun::SignalNumber() const {
  std::lock_guard lock(mutex_);
  return signal_;
}

bool GrabRun::AllEnded() const {
  std::lock_guard lock(mutex_);
  return booked_.size() + manual_.size() + failed_.size() >= wishCount_;
}

bool GrabRun::AllBooked() const {
  std::lock_guard lock(mutex_);
  return booked_.size() >= wishCount_;
}

bool GrabRun::AnyManualCheck() const {
  std::lock_guard lock(mutex_);
  return !manual_.empty();
}

int ExitCodeOf(const GrabRun& run, bool stoppedBySignal) {
  if (run.AllBooked()) return 0;
  if (run.AnyManualCheck()) return 4;
  return stoppedBySignal ? 3 : 1;
}

int ExitCodeOf(const std::vector<const GrabRun*>& runs, bool stoppedBySignal) {
  bool allBooked = true;
  bool anyManualCheck = false;
  for (const GrabRun* run : runs) {
    allBooked = allBooked && run->AllBooked();
    anyManualCheck = anyManualCheck || run->AnyManualCheck();
  }
  if (allBooked) return 0;
  if (anyManualCheck) return 4;
  return stoppedBySignal ? 3 : 1;
}

}  // namespace quillet::cli
