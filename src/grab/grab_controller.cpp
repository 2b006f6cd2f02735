#include "grab/grab_controller.h"

#include <atomic>
#include <cstdint>
#include <system_error>

#include "booking/client.h"
#include "grab/texts.h"
#include "grab/wait.h"
#include "util/text.h"

namespace quillet {
namespace {

std::string ResultLine(const std::string& prefix, const GrabTask& task) {
  return prefix + task.trainDate + grab_texts::TrainPart() + task.stationTrainCode + grab_texts::PassengerPart() +
         task.passengerName + "\r\n";
}

bool SoldOut(const std::string& ticketsText) { return ticketsText == "--" || ticketsText == grab_texts::NoTickets(); }

template <typename T>
T FirstOf(const std::vector<T>& list) {
  return list.empty() ? T() : list.front();
}

OrderReport ReportOf(std::size_t wishIndex, const GrabTask& task) {
  OrderReport report;
  report.wishIndex = wishIndex;
  report.train = task.stationTrainCode;
  report.date = task.trainDate;
  report.seatType = task.seatType;
  if (const SeatType* seat = SeatTypeWithCode(task.seatType)) report.seatName = seat->name();
  report.passengers = {task.passengerName};
  report.orderId = task.orderId;
  return report;
}

// True when a wanted class of the task's train is not on sale yet.
bool ShowsNotOnSale(const std::vector<TrainRecord>& trains, const GrabTask& task, const OrderWish& wish) {
  for (const TrainRecord& train : trains) {
    if (train.stationTrainCode != task.stationTrainCode) continue;
    for (const std::string& seatType : wish.seatTypes) {
      std::string ticketsText;
      if (SeatTicketsFor(train, seatType, ticketsText) && ticketsText == grab_texts::NotOnSaleYet()) return true;
    }
  }
  return false;
}

}  // namespace

bool SeatTicketsFor(const TrainRecord& train, const std::string& seatCode, std::string& ticketsText) {
  const SeatType* seat = SeatTypeWithCode(seatCode);
  if (seat == nullptr) return false;
  ticketsText = train.*seat->tickets;
  return true;
}

GrabTask TaskForWish(const OrderWish& wish) {
  GrabTask task;
  const WishPassenger passenger = FirstOf(wish.passengers);
  task.passengerName = passenger.name;
  task.passengerType = passenger.passengerType;
  task.idType = passenger.idType;
  task.idNo = passenger.idNo;
  task.ticketType = wish.ticketType;
  task.fromStationName = wish.from.name;
  task.fromTelecode = wish.from.telecode;
  task.toStationName = wish.to.name;
  task.toTelecode = wish.to.telecode;
  task.trainDate = FirstOf(wish.dates);
  task.stationTrainCode = FirstOf(wish.trains);
  return task;
}

std::vector<OrderCandidate> OrderCandidates(const std::vector<TrainRecord>& trains, const GrabTask& task,
                                            const OrderWish& wish) {
  std::vector<OrderCandidate> candidates;
  const TrainRecord* train = nullptr;
  for (const TrainRecord& listed : trains) {
    if (listed.stationTrainCode == task.stationTrainCode) {
      train = &listed;
      break;
    }
  }
  if (train == nullptr) return candidates;
  for (const std::string& seatType : wish.seatTypes) {
    std::string ticketsText;
    if (!SeatTicketsFor(*train, seatType, ticketsText) || SoldOut(ticketsText)) continue;
    candidates.push_back({train, seatType});
  }
  return candidates;
}

struct GrabController::Impl {
  // A launcher or worker thread. `finished` is set as the thread's last act,
  // so joining a finished thread does not wait.
  struct Handle {
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  Impl(BookingClient& c, GrabEvents& e, std::string backTrainDate, GrabPacing p)
      : client(c), events(e), pacing(p), chainSettings{std::move(backTrainDate), p.orderPollWait} {}

  BookingClient& client;
  GrabEvents& events;
  const GrabPacing pacing;
  const OrderChainSettings chainSettings;
  WishScheduleFactory scheduleFactory;  // set before the first start
  std::atomic<int> runningWorkers{0};

  std::mutex mutex;  // guards the three fields below
  std::vector<std::unique_ptr<Handle>> handles;
  std::vector<std::stop_source> starts;  // one per start not yet stopped
  bool closing = false;
  std::stop_source closingSource;  // triggered once, when the program closes

  // Caller holds `mutex`. False when the system refuses another thread.
  template <typename Body>
  bool LaunchLocked(Body body) {
    auto handle = std::make_unique<Handle>();
    Handle* raw = handle.get();
    try {
      raw->thread = std::thread([raw, body = std::move(body)]() mutable {
        body();
        raw->finished.store(true, std::memory_order_release);
      });
    } catch (const std::system_error&) {
      return false;
    }
    handles.push_back(std::move(handle));
    return true;
  }

  // Caller holds `mutex`. Moves the handles of ended threads to `ended`, to be
  // joined after the lock is released.
  void TakeEndedLocked(std::vector<std::unique_ptr<Handle>>& ended) {
    std::erase_if(handles, [&](std::unique_ptr<Handle>& handle) {
      if (!handle->finished.load(std::memory_order_acquire)) return false;
      ended.push_back(std::move(handle));
      return true;
    });
  }

  static void Join(std::vector<std::unique_ptr<Handle>>& ended) {
    for (auto& handle : ended) {
      if (handle->thread.joinable()) handle->thread.join();
    }
    ended.clear();
  }

  void RunLauncher(std::stop_token stop, const std::shared_ptr<const std::vector<OrderWish>>& wishes) {
    for (std::size_t index = 0; index < wishes->size(); ++index) {
      std::lock_guard lock(mutex);
      if (stop.stop_requested()) return;
      runningWorkers.fetch_add(1);
      const bool launched = LaunchLocked([this, stop, wishes, index] {
        RunWorker(stop, index, (*wishes)[index]);
        runningWorkers.fetch_sub(1);
      });
      if (!launched) runningWorkers.fetch_sub(1);
    }
    // A start that was stopped while launching does not announce itself.
    if (!stop.stop_requested()) events.OnGrabLogLine(grab_texts::GrabStartedLine());
  }

  // The schedule of a wish that waits for a sale opening; the window's
  // wishes have no start moment and get none.
  std::unique_ptr<WishSchedule> ScheduleFor(const OrderWish& wish) {
    if (!wish.startAt) return nullptr;
    WishScheduleFactory factory;
    {
      std::lock_guard lock(mutex);
      factory = scheduleFactory;
    }
    return factory ? factory(wish) : nullptr;
  }

  void RunWorker(const std::stop_token& stop, std::size_t wishIndex, const OrderWish& wish) {
    GrabTask task = TaskForWish(wish);
    const bool studentPurpose = task.ticketType == "3";
    std::uint32_t attempts = 0;
    const std::unique_ptr<WishSchedule> schedule = ScheduleFor(wish);
    if (schedule && !schedule->WaitForFirstQuery(stop)) return;

    while (!stop.stop_requested()) {
      ++attempts;
      events.OnGrabAttempt(wishIndex, attempts, grab_texts::AttemptCaptionPrefix() + std::to_string(attempts));

      const TrainsResult query =
          client.QueryLeftTickets(studentPurpose, task.trainDate, task.fromTelecode, task.toTelecode, stop);
      if (stop.stop_requested()) return;
      if (!query.Done()) {
        if (!WaitUnlessStopped(stop, pacing.afterFailedQuery)) return;
        continue;
      }
      if (TryOrder(stop, wishIndex, task, OrderCandidates(query.trains, task, wish))) return;
      const std::optional<std::chrono::milliseconds> schedulePause =
          schedule ? schedule->PauseAfterIdlePass(ShowsNotOnSale(query.trains, task, wish)) : std::nullopt;
      if (!WaitUnlessStopped(stop, schedulePause.value_or(pacing.afterIdlePass))) return;
    }
  }

  // Runs the order chain for each candidate in turn. True when the worker is
  // done: a ticket was booked, the outcome needs a manual check, grabbing was
  // stopped or the program is closing.
  bool TryOrder(const std::stop_token& stop, std::size_t wishIndex, GrabTask& task,
                const std::vector<OrderCandidate>& candidates) {
    for (const OrderCandidate& candidate : candidates) {
      if (stop.stop_requested()) return true;
      task.trainNo = candidate.train->trainNo;
      task.secretStr = candidate.train->secretStr;
      task.leftTicket = candidate.train->leftTicket;
      task.trainLocation = candidate.train->trainLocation;
      task.seatType = candidate.seatType;
      const OrderOutcome outcome = RunOrderChain(client, task, chainSettings, stop, closingSource.get_token());

      switch (outcome.kind) {
        case OrderOutcomeKind::kManualCheck:
          events.OnGrabLogLine(ResultLine(grab_texts::ManualLinePrefix(), task));
          events.OnOrderNeedsManualCheck(ReportOf(wishIndex, task));
          return true;
        case OrderOutcomeKind::kBooked:
          events.OnGrabLogLine(ResultLine(grab_texts::BookedLinePrefix(), task));
          events.OnOrderBooked(ReportOf(wishIndex, task));
          return true;
        case OrderOutcomeKind::kAbandoned:
          return true;
        case OrderOutcomeKind::kFailed:
        case OrderOutcomeKind::kStopped:
          break;
      }
    }
    return stop.stop_requested();
  }
};

GrabController::GrabController(BookingClient& client, GrabEvents& events, std::string backTrainDate,
                               GrabPacing pacing)
    : impl_(std::make_unique<Impl>(client, events, std::move(backTrainDate), pacing)) {}

GrabController::~GrabController() { StopAndJoinAll(); }

void GrabController::SetWishScheduleFactory(WishScheduleFactory factory) {
  std::lock_guard lock(impl_->mutex);
  impl_->scheduleFactory = std::move(factory);
}

void GrabController::StartGrabbing(std::vector<OrderWish> wishes) {
  auto shared = std::make_shared<const std::vector<OrderWish>>(std::move(wishes));
  std::vector<std::unique_ptr<Impl::Handle>> ended;
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->closing) return;
    impl_->TakeEndedLocked(ended);
    std::stop_source start;
    impl_->starts.push_back(start);
    impl_->LaunchLocked(
        [impl = impl_.get(), stop = start.get_token(), shared] { impl->RunLauncher(stop, shared); });
  }
  Impl::Join(ended);
}

void GrabController::StopGrabbing() {
  std::vector<std::unique_ptr<Impl::Handle>> ended;
  {
    std::lock_guard lock(impl_->mutex);
    for (std::stop_source& start : impl_->starts) start.request_stop();
    impl_->starts.clear();
    impl_->TakeEndedLocked(ended);
  }
  Impl::Join(ended);
  impl_->events.OnGrabStopped();
}

void GrabController::StopAndJoinAll() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->closing = true;
    for (std::stop_source& start : impl_->starts) start.request_stop();
    impl_->starts.clear();
  }
  impl_->closingSource.request_stop();
  // Launchers check their stop under the lock before each worker they start,
  // so once they are all stopped the list can only shrink.
  for (;;) {
    std::vector<std::unique_ptr<Impl::Handle>> all;
    {
      std::lock_guard lock(impl_->mutex);
      all.swap(impl_->handles);
    }
    if (all.empty()) break;
    Impl::Join(all);
  }
}

int GrabController::RunningWorkerCount() const { return impl_->runningWorkers.load(); }

}  // namespace quillet
