#include "grab/waitlist_keeper.h"

#include <mutex>
#include <optional>
#include <thread>

#include "booking/client.h"
#include "grab/order_tables.h"
#include "grab/texts.h"
#include "grab/waitlist_choice.h"
#include "util/wait.h"

namespace quillet {

struct WaitlistKeeper::Impl {
  Impl(BookingClient& c, WaitlistEvents& e, WaitlistWish w, WaitlistPacing p)
      : client(c), events(e), wish(std::move(w)), pacing(p) {}

  struct PauseOnStop {
    void operator()() const { source->request_stop(); }
    std::stop_source* source;
  };

  BookingClient& client;
  WaitlistEvents& events;
  const WaitlistWish wish;
  const WaitlistPacing pacing;
  std::stop_source stop;    // the program ends
  std::stop_source end;     // grabbing booked the wish
  std::stop_source pause;   // either of them
  std::stop_source filled;  // the order was filled
  // Pauses end at a program stop or when grabbing has booked the wish;
  // requests end only at a program stop, so that a placement finishes.
  std::stop_callback<PauseOnStop> pauseOnStop{stop.get_token(), PauseOnStop{&pause}};
  std::stop_callback<PauseOnStop> pauseOnEnd{end.get_token(), PauseOnStop{&pause}};

  std::mutex lifeMutex;  // guards the thread's start and join
  std::thread thread;
  bool joined = false;

  // Written by the keeper's thread; read by others only after it has been joined.
  std::string reserveNo;
  bool open = false;  // reserveNo names a waiting order
  bool done = false;  // no more waitlist for this wish

  PartyWish Party() const {
    return PartyWish{wish.wish.dates, wish.wish.trains, wish.wish.seatTypes,
                     static_cast<int>(wish.wish.passengers.size())};
  }

  void Run() {
    const std::stop_token requests = stop.get_token();
    while (!pause.stop_requested() && !done) {
      if (open) {
        Poll(requests);
      } else {
        TryPlace(requests);
      }
      if (done || !WaitUnlessStopped(pause.get_token(), pacing.pass)) return;
    }
  }

  void Refused(const ServiceResult& refusal) {
    // A lapsed sign-in is no answer about the waitlist: the next pass, after
    // a new sign-in, tries again.
    if (refusal.answer.kind == AnswerKind::kNotSignedIn) return;
    done = true;
    events.OnWaitlistRefused(wish.wishIndex, refusal.message);
  }

  void TryPlace(const std::stop_token& requests) {
    const OrderWish& w = wish.wish;
    const bool student = w.ticketType == "3";
    std::vector<std::optional<std::vector<WaitlistTrain>>> answers;
    for (const std::string& date : w.dates) {
      WaitlistTrainsResult query = client.QueryWaitlistTrains(student, date, w.from.telecode, w.to.telecode, requests);
      if (query.kind == ServiceResultKind::kStopped) return;
      answers.push_back(query.Done() ? std::optional(std::move(query.trains)) : std::nullopt);
    }
    const std::optional<WaitlistPlacement> placement = ChooseWaitlist(Party(), answers);
    if (!placement || end.stop_requested()) return;

    std::vector<WaitlistPick> picks;
    for (const WaitlistPlacement::Choice& choice : placement->choices) {
      picks.push_back({choice.train.secretStr, choice.seatCode});
    }
    const std::string deadline = wish.deadline.empty() ? LatestWaitlistDeadline(*placement) : wish.deadline;

    const WaitlistCheckResult check = client.CheckWaitlistParty(picks, requests);
    if (check.kind == ServiceResultKind::kRefused) return Refused(check);
    if (!check.Done()) return;  // no answer: the next pass tries again
    WaitlistPlaced placed{wish.wishIndex, placement->date, {}, deadline, {}};
    const WaitlistChancesResult chances = client.WaitlistChances(picks, requests);
    for (const WaitlistPlacement::Choice& choice : placement->choices) {
      WaitlistChance chance{choice.train.stationTrainCode, choice.seatCode, 0, {}};
      for (const WaitlistChance& told : chances.chances) {
        if (told.train == chance.train && told.seatType == chance.seatType) chance = told;
      }
      placed.choices.push_back(std::move(chance));
    }
    const ServiceResult submitted = client.SubmitWaitlist(picks, requests);
    if (submitted.kind == ServiceResultKind::kRefused) return Refused(submitted);
    if (!submitted.Done()) return;
    std::vector<WaitlistMember> party;
    for (const WishPassenger& p : wish.wish.passengers) party.push_back({p.name, p.idType, p.idNo, w.ticketType});
    const ServiceResult confirmed = client.ConfirmWaitlist(party, deadline, requests);
    if (confirmed.kind == ServiceResultKind::kRefused) return Refused(confirmed);
    if (!confirmed.Done()) return;
    // Confirmed: the order exists once the queue names it.
    for (int poll = 0; poll < pacing.queuePolls; ++poll) {
      const WaitlistQueueResult queue = client.QueryWaitlistQueue(requests);
      if (queue.kind == ServiceResultKind::kStopped) return;
      if (queue.kind == ServiceResultKind::kRefused) return Refused(queue);
      if (queue.Done() && !queue.reserveNo.empty()) {
        reserveNo = queue.reserveNo;
        lastDate = placement->date;
        open = true;
        placed.reserveNo = reserveNo;
        events.OnWaitlisted(placed);
        return;
      }
      if (!WaitUnlessStopped(requests, pacing.queuePoll)) return;
    }
  }

  void Poll(const std::stop_token& requests) {
    const WaitlistStateResult state = client.QueryWaitlistState(reserveNo, requests);
    if (!state.Done()) return;  // a failed look is tried again at the next pass
    switch (state.status) {
      case WaitlistOrderStatus::kWaiting:
        return;
      case WaitlistOrderStatus::kFilled:
        open = false;
        done = true;
        filled.request_stop();
        events.OnWaitlistFilled(FilledReport(state));
        return;
      case WaitlistOrderStatus::kCancelled:
        open = false;
        done = true;
        events.OnWaitlistCancelled(wish.wishIndex, reserveNo);
        return;
      case WaitlistOrderStatus::kExpired:
        open = false;
        done = true;
        events.OnWaitlistExpired(wish.wishIndex, reserveNo);
        return;
    }
  }

  OrderReport FilledReport(const WaitlistStateResult& state) const {
    OrderReport report;
    report.wishIndex = wish.wishIndex;
    report.train = state.train;
    report.seatType = state.seatType;
    if (const SeatType* seat = SeatTypeWithCode(state.seatType)) report.seatName = seat->name();
    report.date = lastDate;
    for (const WishPassenger& p : wish.wish.passengers) report.passengers.push_back(p.name);
    report.orderId = state.orderId;
    report.message = OrderChainEndText(OrderChainEnd::kBooked);
    report.outcome = OrderOutcomeKind::kBooked;
    report.end = OrderChainEnd::kBooked;
    return report;
  }

  void Join() {
    std::lock_guard lock(lifeMutex);
    if (!joined && thread.joinable()) thread.join();
    joined = true;
  }

  std::string lastDate;
};

WaitlistKeeper::WaitlistKeeper(BookingClient& client, WaitlistEvents& events, WaitlistWish wish, WaitlistPacing pacing)
    : impl_(std::make_unique<Impl>(client, events, std::move(wish), pacing)) {}

WaitlistKeeper::~WaitlistKeeper() { Stop(); }

std::stop_token WaitlistKeeper::FilledToken() const { return impl_->filled.get_token(); }

std::size_t WaitlistKeeper::WishIndex() const { return impl_->wish.wishIndex; }

void WaitlistKeeper::Start() {
  std::lock_guard lock(impl_->lifeMutex);
  if (impl_->thread.joinable() || impl_->joined) return;
  impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
}

void WaitlistKeeper::GrabBooked() {
  impl_->end.request_stop();
  impl_->Join();
  if (!impl_->open || impl_->stop.stop_requested()) return;
  impl_->open = false;
  const ServiceResult cancelled = impl_->client.CancelWaitlist(impl_->reserveNo, impl_->stop.get_token());
  if (cancelled.Done()) {
    impl_->events.OnWaitlistCancelled(impl_->wish.wishIndex, impl_->reserveNo);
  } else if (cancelled.kind != ServiceResultKind::kStopped) {
    // Filled meanwhile, or the service cannot be reached: the person has to look.
    impl_->events.OnWaitlistRefused(impl_->wish.wishIndex, cancelled.message);
  }
}

void WaitlistKeeper::Stop() {
  impl_->stop.request_stop();
  impl_->Join();
}

}  // namespace quillet
