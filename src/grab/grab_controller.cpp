#include "grab/grab_controller.h"
#include "grab/class_seen.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <optional>
#include <set>
#include <system_error>

#include "booking/client.h"
#include "grab/account_gate.h"
#include "grab/party_choice.h"
#include "grab/texts.h"
#include "util/text.h"
#include "util/wait.h"

namespace quillet {
namespace {

std::vector<std::string> PartyNames(const GrabTask& task) {
  if (task.party.empty()) return {task.passengerName};
  std::vector<std::string> names;
  for (const OrderPassenger& passenger : task.party) names.push_back(passenger.name);
  return names;
}

bool SoldOut(const std::string& ticketsText) { return ticketsText == "--" || ticketsText == grab_texts::NoTickets(); }

template <typename T>
T FirstOf(const std::vector<T>& list) {
  return list.empty() ? T() : list.front();
}

OrderReport ReportOf(std::size_t wishIndex, const GrabTask& task, const OrderOutcome& outcome) {
  OrderReport report;
  report.wishIndex = wishIndex;
  report.train = task.stationTrainCode;
  report.date = task.trainDate;
  report.seatType = task.seatType;
  if (const SeatType* seat = SeatTypeWithCode(task.seatType)) report.seatName = seat->name();
  report.passengers = PartyNames(task);
  report.orderId = task.orderId;
  report.message = outcome.message;
  report.end = outcome.end;
  report.outcome = outcome.kind;
  report.serviceReason = outcome.serviceReason;
  report.at = EventMomentNow();
  return report;
}

// What the order chain books: a train of the query answer, from a station
// pair on a date, in a seat class.
void FillFromTrain(GrabTask& task, const StationPair& pair, const std::string& date, const TrainRecord& train,
                   const std::string& seatCode) {
  task.fromStationName = pair.from.name;
  task.fromTelecode = pair.from.telecode;
  task.toStationName = pair.to.name;
  task.toTelecode = pair.to.telecode;
  task.trainDate = date;
  task.stationTrainCode = train.stationTrainCode;
  task.trainNo = train.trainNo;
  task.secretStr = train.secretStr;
  task.leftTicket = train.leftTicket;
  task.trainLocation = train.trainLocation;
  task.seatType = seatCode;
}

// Which of a wish's trains the service runs, learnt from the first answer of
// each of its dates.
class TrainsRunning {
 public:
  explicit TrainsRunning(const OrderWish& wish) : wish_(wish), answered_(wish.dates.size(), false) {}

  // Notes the answer of date `d`. Once every date has answered, returns the
  // wish's trains that none of them lists, once; nothing before or after.
  std::optional<std::vector<std::string>> Answered(std::size_t d, const std::vector<TrainRecord>& trains) {
    if (done_ || wish_.trains.empty() || answered_[d]) return std::nullopt;
    answered_[d] = true;
    for (const TrainRecord& train : trains) listed_.insert(train.stationTrainCode);
    if (std::find(answered_.begin(), answered_.end(), false) != answered_.end()) return std::nullopt;
    done_ = true;
    std::vector<std::string> missing;
    for (const std::string& code : wish_.trains) {
      if (listed_.count(code) == 0) missing.push_back(code);
    }
    return missing;
  }
  bool NoneRuns(const std::vector<std::string>& missing) const { return missing.size() == wish_.trains.size(); }

 private:
  const OrderWish& wish_;
  std::vector<bool> answered_;
  std::set<std::string> listed_;
  bool done_ = false;
};

// Some wanted class of a wanted train shows as not on sale yet.
bool ShowsNotOnSale(const std::vector<TrainRecord>& trains, const OrderWish& wish) {
  for (const TrainRecord& train : trains) {
    if (!wish.trains.empty() &&
        std::find(wish.trains.begin(), wish.trains.end(), train.stationTrainCode) == wish.trains.end()) {
      continue;
    }
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
  for (const WishPassenger& member : wish.passengers) {
    task.party.push_back({member.name, member.passengerType, member.idType, member.idNo, member.ticketType});
  }
  task.seatPositions = wish.seatPositions;
  task.berths = wish.berths;
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
      : client(c), events(e), pacing(p), chainSettings{std::move(backTrainDate), p.orderPollWait, &accountGate} {}

  BookingClient& client;
  GrabEvents& events;
  const GrabPacing pacing;
  // One session is one account: its workers order through one gate.
  AccountGate accountGate;
  const OrderChainSettings chainSettings;
  WishScheduleFactory scheduleFactory;     // set before the first start
  std::shared_ptr<QueryPacer> queryPacer;  // the same
  std::shared_ptr<WorkShare> workShare;    // the same
  std::atomic<int> runningWorkers{0};

  // The sign-in gate: closed when a party worker finds the session lapsed,
  // opened by the next sign-in. A lapse seen by a pass that began before the
  // latest sign-in is stale and leaves the gate open.
  std::mutex gateMutex;  // guards the two fields below
  bool needsSignIn = false;
  std::uint64_t signInRound = 0;
  std::condition_variable_any gateChanged;

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
    // Workers begin once the start is announced, so that no worker's event
    // comes before the start's own.
    std::promise<void> announce;
    const std::shared_future<void> announced = announce.get_future().share();
    LaunchWorkers(stop, wishes, announced);
    // A start that was stopped while launching does not announce itself.
    if (!stop.stop_requested()) events.OnGrabStarted(GrabStart{EventMomentNow(), {}});
    announce.set_value();
  }

  void LaunchWorkers(const std::stop_token& stop, const std::shared_ptr<const std::vector<OrderWish>>& wishes,
                     const std::shared_future<void>& announced) {
    for (std::size_t index = 0; index < wishes->size(); ++index) {
      std::lock_guard lock(mutex);
      if (stop.stop_requested()) return;
      runningWorkers.fetch_add(1);
      const bool launched =
          LaunchLocked([this, stop, wishes, index, announced, factory = scheduleFactory, pacer = queryPacer] {
            announced.wait();
            const OrderWish& wish = (*wishes)[index];
            if (wish.choice == OrderWish::Choice::kParty) {
              RunPartyWorker(stop, index, wish, factory, pacer.get());
            } else {
              RunWorker(stop, index, wish);
            }
            runningWorkers.fetch_sub(1);
          });
      if (!launched) runningWorkers.fetch_sub(1);
    }
  }

  void RunWorker(const std::stop_token& stop, std::size_t wishIndex, const OrderWish& wish) {
    GrabTask task = TaskForWish(wish);
    const bool studentPurpose = task.ticketType == "3";
    std::uint32_t attempts = 0;

    while (!stop.stop_requested()) {
      if (EndedByHeldAccount(wishIndex, task)) return;
      ++attempts;
      events.OnGrabAttempt(GrabAttempt{wishIndex, attempts, EventMomentNow(), {}});

      const TrainsResult query =
          client.QueryLeftTickets(studentPurpose, task.trainDate, task.fromTelecode, task.toTelecode, stop,
                                  std::span<const std::string>(&task.stationTrainCode, 1));
      if (stop.stop_requested()) return;
      if (!query.Done()) {
        if (!WaitUnlessStopped(stop, pacing.afterFailedQuery)) return;
        continue;
      }
      if (TryOrder(stop, wishIndex, task, OrderCandidates(query.trains, task, wish))) return;
      if (!WaitUnlessStopped(stop, pacing.afterIdlePass)) return;
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
        case OrderOutcomeKind::kBooked:
        case OrderOutcomeKind::kAbandoned:
          ReportEnd(wishIndex, task, outcome);
          return true;
        // The window's workers keep the classic rule: a lapsed session is
        // one more failed run.
        case OrderOutcomeKind::kFailed:
        case OrderOutcomeKind::kSessionLapsed:
          events.OnOrderRefused(ReportOf(wishIndex, task, outcome));
          break;
        case OrderOutcomeKind::kStopped:
          break;
      }
    }
    return stop.stop_requested();
  }

  // A chain that ended the worker: booked, to be checked by hand, or abandoned on close.
  void ReportEnd(std::size_t wishIndex, const GrabTask& task, const OrderOutcome& outcome) {
    if (outcome.kind == OrderOutcomeKind::kManualCheck) {
      events.OnOrderNeedsManualCheck(ReportOf(wishIndex, task, outcome));
    } else if (outcome.kind == OrderOutcomeKind::kBooked) {
      events.OnOrderBooked(ReportOf(wishIndex, task, outcome));
    } else if (outcome.kind == OrderOutcomeKind::kAbandoned) {
      events.OnOrderAbandoned(ReportOf(wishIndex, task, outcome));
    }
  }

  // A wish of an account whose order outcome stayed unknown does not order
  // again: it ends as a manual check naming that reason.
  bool EndedByHeldAccount(std::size_t wishIndex, const GrabTask& task) {
    if (!accountGate.Held()) return false;
    ReportInDoubt(wishIndex, task);
    return true;
  }

  void ReportInDoubt(std::size_t wishIndex, const GrabTask& task) {
    ReportEnd(wishIndex, task,
              OrderOutcome{OrderOutcomeKind::kManualCheck,
                           OrderChainEndText(OrderChainEnd::kAccountInDoubt),
                           {},
                           {},
                           OrderChainEnd::kAccountInDoubt});
  }

  // An order of the wish that another process confirmed may stand at the
  // service: the report names that order where the process wrote it down,
  // not this worker's last train.
  void ReportLeftInDoubt(std::size_t wishIndex, const GrabTask& task, WorkShare& share) {
    GrabTask inDoubt = task;
    if (const std::optional<ConfirmingOrder> order = share.OrderInDoubt(wishIndex)) {
      inDoubt.stationTrainCode = order->train;
      inDoubt.trainDate = order->date;
      inDoubt.seatType = order->seatType;
      inDoubt.orderId.clear();
    }
    ReportInDoubt(wishIndex, inDoubt);
  }

  // The chain's settings for one wish: with a share, its confirmation is
  // told to the share first.
  OrderChainSettings ChainSettingsFor(WorkShare* share, std::size_t wishIndex) const {
    OrderChainSettings settings = chainSettings;
    if (share) {
      settings.beforeConfirm = [share, wishIndex](const GrabTask& task) { return share->Confirming(wishIndex, task); };
    }
    return settings;
  }

  // Waits while the gate is closed; false when stopped first. `round` is the
  // sign-in the pass runs under.
  bool WaitForSignIn(const std::stop_token& stop, std::uint64_t& round) {
    std::unique_lock lock(gateMutex);
    if (!gateChanged.wait(lock, stop, [this] { return !needsSignIn; })) return false;
    round = signInRound;
    return true;
  }

  void NoteLapse(std::uint64_t round) {
    {
      std::lock_guard lock(gateMutex);
      if (needsSignIn || round != signInRound) return;
      needsSignIn = true;
    }
    events.OnSessionLapsed(SessionLapse{EventMomentNow(), {}});
  }

  void OpenGate() {
    {
      std::lock_guard lock(gateMutex);
      needsSignIn = false;
      ++signInRound;
    }
    gateChanged.notify_all();
  }

  // A wish for a party: every pass queries each date in order and orders the
  // first (date, train, seat class) with tickets for everyone; a failed order
  // moves on to the next such choice.
  void RunPartyWorker(const std::stop_token& startStop, std::size_t wishIndex, const OrderWish& wish,
                      const WishScheduleFactory& factory, QueryPacer* pacer) {
    std::shared_ptr<WorkShare> sharedWork;
    {
      std::lock_guard lock(mutex);
      sharedWork = workShare;
    }
    WorkShare* const share = sharedWork.get();
    std::stop_source wishStop;
    const auto stopWish = [&wishStop] { wishStop.request_stop(); };
    const std::stop_callback byStart(startStop, stopWish);
    const std::stop_callback byElsewhere(wish.endedElsewhere, stopWish);
    const std::stop_callback byShare(share ? share->WishEnded(wishIndex) : std::stop_token(), stopWish);
    const std::stop_token stop = wishStop.get_token();
    GrabTask task = TaskForWish(wish);
    const bool studentPurpose = task.ticketType == "3";
    const PartyWish party{wish.dates, wish.trains, wish.seatTypes, static_cast<int>(wish.passengers.size()),
                          wish.times};
    std::unique_ptr<WishSchedule> schedule;
    if (wish.startAt && factory) schedule = factory(wish);
    TrainsRunning running(wish);
    const std::vector<StationPair> pairs = StationPairsOf(wish);
    if (schedule && !schedule->WaitForFirstQuery(stop)) return;
    std::uint32_t attempts = 0;

    while (!stop.stop_requested()) {
      std::uint64_t round = 0;
      if (!WaitForSignIn(stop, round)) return;
      if (EndedByHeldAccount(wishIndex, task)) return;
      if (share && share->OrderLeftInDoubt(wishIndex)) {
        ReportLeftInDoubt(wishIndex, task, *share);
        return;
      }
      ++attempts;
      events.OnGrabAttempt(GrabAttempt{wishIndex, attempts, EventMomentNow(), {}});

      ClassesSeen seenThisPass(wish.seatTypes, wish.trains);
      bool queryFailed = false;
      bool sawNotOnSale = false;
      bool lapsed = false;
      bool closed = false;
      for (std::size_t d = 0; d < wish.dates.size() && !lapsed && !closed; ++d) {
        // Whether a named train runs is judged on what every pair of the
        // date listed.
        std::vector<TrainRecord> listedOnDate;
        bool everyPairAnswered = true;
        for (std::size_t p = 0; p < pairs.size() && !lapsed && !closed; ++p) {
          const StationPair& pair = pairs[p];
          if (share) {
            if (!share->Queries(wishIndex, d, p)) {
              everyPairAnswered = false;  // what the date lists is not known whole
              continue;
            }
          }
          // A seat seen elsewhere is ordered before the next query of our
          // own, also when it comes while the query waits for its moment.
          std::optional<SteadyTime> sentAt;
          for (;;) {
            const std::stop_token seenSignal = share ? share->SeenElsewhereSignal(wishIndex) : std::stop_token();
            if (share) {
              if (const auto seen = share->NextSeenElsewhere(wishIndex, std::chrono::milliseconds(0), stop)) {
                const SeenOrder fed = OrderSeen(stop, wishIndex, task, *seen, pacer, *share);
                if (fed == SeenOrder::kEnded) return;
                lapsed = fed == SeenOrder::kLapsed;
                closed = fed == SeenOrder::kClosed;
                if (lapsed) NoteLapse(round);
                if (lapsed || closed) break;
                continue;
              }
            }
            if (!pacer) break;
            std::stop_source wake;
            const std::stop_callback wakeByStop(stop, [&wake] { wake.request_stop(); });
            const std::stop_callback wakeBySeen(seenSignal, [&wake] { wake.request_stop(); });
            if ((sentAt = pacer->BeforeQuery(wake.get_token()))) break;
            if (stop.stop_requested()) return;
          }
          if (lapsed || closed) break;
          const TrainsResult query = client.QueryLeftTickets(studentPurpose, wish.dates[d], pair.from.telecode,
                                                             pair.to.telecode, stop, wish.trains);
          if (stop.stop_requested()) return;
          if (pacer) pacer->AfterQuery(query, *sentAt);
          if (!query.Done()) {
            queryFailed = true;
            everyPairAnswered = false;
            events.OnQueryFailed(
                QueryFailure{wishIndex, wish.dates[d], query.kind, query.answer, query.message, EventMomentNow(), {}});
            continue;
          }
          seenThisPass.Answered(wish.dates[d], query.trains);
          listedOnDate.insert(listedOnDate.end(), query.trains.begin(), query.trains.end());
          if (p + 1 == pairs.size() && everyPairAnswered) {
            if (const auto missing = running.Answered(d, listedOnDate); missing && !missing->empty()) {
              events.OnTrainsNotRunning(TrainsNotRunning{wishIndex, *missing, EventMomentNow(), {}});
              if (running.NoneRuns(*missing)) {
                events.OnWishWithoutTrains(WishWithoutTrains{wishIndex, EventMomentNow(), {}});
                return;
              }
            }
          }
          sawNotOnSale = sawNotOnSale || ShowsNotOnSale(query.trains, wish);
          for (const PartyChoice& choice : PartyChoicesOn(party, d, query.trains)) {
            if (stop.stop_requested()) return;
            FillFromTrain(task, pair, choice.date, choice.train, choice.seatCode);
            if (share && !share->Orders(wishIndex)) {
              share->Sighted(wishIndex, {choice.date, pair, choice.train, choice.seatCode});
              continue;
            }
            const OrderPermit permit = share ? share->BeforeOrder(wishIndex) : OrderPermit::kGranted;
            if (permit == OrderPermit::kNotNow) continue;
            if (permit == OrderPermit::kInDoubt) {
              ReportLeftInDoubt(wishIndex, task, *share);
              return;
            }
            const OrderOutcome outcome =
                RunOrderChain(client, task, ChainSettingsFor(share, wishIndex), stop, closingSource.get_token());
            if (share) share->AfterOrder(wishIndex, task, outcome);
            if (outcome.kind == OrderOutcomeKind::kStopped) return;
            if (outcome.kind == OrderOutcomeKind::kFailed || outcome.kind == OrderOutcomeKind::kSessionLapsed) {
              events.OnOrderRefused(ReportOf(wishIndex, task, outcome));
              // Closed for the night: the next pass waits for the opening.
              if (pacer && pacer->AfterOrderRefused(outcome, stop)) {
                closed = true;
                break;
              }
              if (outcome.kind == OrderOutcomeKind::kSessionLapsed) {
                NoteLapse(round);
                lapsed = true;
                break;
              }
              continue;
            }
            ReportEnd(wishIndex, task, outcome);
            return;
          }
        }
      }
      if (lapsed) continue;

      std::chrono::milliseconds pause = pacing.afterIdlePass;
      if (queryFailed) {
        pause = pacing.afterFailedQuery;
      } else if (schedule) {
        pause = schedule->PauseAfterIdlePass(sawNotOnSale).value_or(pacing.afterIdlePass);
      }
      events.OnPassSeen(PassSeen{wishIndex, seenThisPass.Best(), EventMomentNow()});
      events.OnNextQuery(NextQuery{wishIndex, EventMomentNow() + pause});
      if (!share) {
        if (!WaitUnlessStopped(stop, pause)) return;
        continue;
      }
      // The pause ends early for a seat seen elsewhere, ordered at once.
      const auto seen = share->NextSeenElsewhere(wishIndex, pause, stop);
      if (stop.stop_requested()) return;
      if (!seen) continue;
      const SeenOrder fed = OrderSeen(stop, wishIndex, task, *seen, pacer, *share);
      if (fed == SeenOrder::kEnded) return;
      if (fed == SeenOrder::kLapsed) NoteLapse(round);
    }
  }

  enum class SeenOrder { kGoOn, kEnded, kLapsed, kClosed };

  // Orders a seat that another process saw, as a pass orders one of its own
  // choices.
  SeenOrder OrderSeen(const std::stop_token& stop, std::size_t wishIndex, GrabTask& task, const SeenSeat& seen,
                      QueryPacer* pacer, WorkShare& share) {
    if (stop.stop_requested()) return SeenOrder::kEnded;
    const OrderPermit permit = share.BeforeOrder(wishIndex);
    if (permit == OrderPermit::kNotNow) return SeenOrder::kGoOn;
    FillFromTrain(task, seen.pair, seen.date, seen.train, seen.seatCode);
    if (permit == OrderPermit::kInDoubt) {
      ReportLeftInDoubt(wishIndex, task, share);
      return SeenOrder::kEnded;
    }
    const OrderOutcome outcome =
        RunOrderChain(client, task, ChainSettingsFor(&share, wishIndex), stop, closingSource.get_token());
    share.AfterOrder(wishIndex, task, outcome);
    switch (outcome.kind) {
      case OrderOutcomeKind::kStopped:
        return SeenOrder::kEnded;
      case OrderOutcomeKind::kFailed:
      case OrderOutcomeKind::kSessionLapsed:
        events.OnOrderRefused(ReportOf(wishIndex, task, outcome));
        if (pacer && pacer->AfterOrderRefused(outcome, stop)) return SeenOrder::kClosed;
        return outcome.kind == OrderOutcomeKind::kSessionLapsed ? SeenOrder::kLapsed : SeenOrder::kGoOn;
      case OrderOutcomeKind::kBooked:
      case OrderOutcomeKind::kManualCheck:
      case OrderOutcomeKind::kAbandoned:
        break;
    }
    ReportEnd(wishIndex, task, outcome);
    return SeenOrder::kEnded;
  }
};

GrabController::GrabController(BookingClient& client, GrabEvents& events, std::string backTrainDate, GrabPacing pacing)
    : impl_(std::make_unique<Impl>(client, events, std::move(backTrainDate), pacing)) {}

GrabController::~GrabController() { StopAndJoinAll(); }

void GrabController::SetWishScheduleFactory(WishScheduleFactory factory) {
  std::lock_guard lock(impl_->mutex);
  impl_->scheduleFactory = std::move(factory);
}

void GrabController::SetQueryPacer(std::shared_ptr<QueryPacer> pacer) {
  std::lock_guard lock(impl_->mutex);
  impl_->queryPacer = std::move(pacer);
}

void GrabController::SetWorkShare(std::shared_ptr<WorkShare> share) {
  std::lock_guard lock(impl_->mutex);
  impl_->workShare = std::move(share);
}

void GrabController::SignedInAgain() { impl_->OpenGate(); }

void GrabController::StartGrabbing(std::vector<OrderWish> wishes) {
  auto shared = std::make_shared<const std::vector<OrderWish>>(std::move(wishes));
  std::vector<std::unique_ptr<Impl::Handle>> ended;
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->closing) return;
    // A new start is the person's word that they have looked at the account.
    impl_->accountGate.Release();
    impl_->TakeEndedLocked(ended);
    std::stop_source start;
    impl_->starts.push_back(start);
    impl_->LaunchLocked([impl = impl_.get(), stop = start.get_token(), shared] { impl->RunLauncher(stop, shared); });
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
  impl_->events.OnGrabStopped(GrabStop{EventMomentNow(), {}});
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
