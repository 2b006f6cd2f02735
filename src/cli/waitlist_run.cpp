#include "cli/waitlist_run.h"

#include "grab/order_tables.h"
#include "util/codepage.h"
#include "util/messages.h"

namespace quillet::cli {

namespace {

int WishNumber(std::size_t wishIndex) { return static_cast<int>(wishIndex) + 1; }

WaitlistEvent EventOf(WaitlistEvent::Kind kind, int wish) {
  WaitlistEvent event;
  event.kind = kind;
  event.wish = wish;
  return event;
}

}  // namespace

WaitlistRun::WaitlistRun(EventOutput& output, GrabRun& run, GrabEvents& notifiers)
    : output_(output), run_(run), notifiers_(notifiers) {}

WaitlistRun::~WaitlistRun() { Stop(); }

void WaitlistRun::Prepare(BookingClient& client, const Plan& plan, std::vector<OrderWish>& wishes,
                          WaitlistPacing pacing) {
  for (std::size_t i = 0; i < plan.wishes.size() && i < wishes.size(); ++i) {
    if (!plan.wishes[i].waitlist) continue;
    if (keeper_) {
      WaitlistEvent refused = EventOf(WaitlistEvent::Kind::kRefused, WishNumber(i));
      refused.reason = GbkFromUtf8(
          Format(_("the account can hold one waitlist order at a time and wish %s has it; this wish grabs without "
                   "one"),
                 std::to_string(WishNumber(keeper_->WishIndex()))));
      output_.Write(refused);
      continue;
    }
    keeper_ = std::make_unique<WaitlistKeeper>(client, *this,
                                               WaitlistWish{i, wishes[i], plan.wishes[i].waitlistDeadline}, pacing);
    wishes[i].endedElsewhere = keeper_->FilledToken();
  }
}

void WaitlistRun::Start() {
  if (keeper_) keeper_->Start();
}

void WaitlistRun::BeforeBooked(std::size_t wishIndex) {
  if (keeper_ && keeper_->WishIndex() == wishIndex) keeper_->GrabBooked();
}

void WaitlistRun::Stop() {
  if (keeper_) keeper_->Stop();
}

void WaitlistRun::OnWaitlisted(const WaitlistPlaced& placed) {
  WaitlistEvent event = EventOf(WaitlistEvent::Kind::kPlaced, WishNumber(placed.wishIndex));
  event.date = placed.date;
  event.deadline = placed.deadline;
  event.waitlistId = placed.reserveNo;
  for (const WaitlistChance& chance : placed.choices) {
    const SeatType* seat = SeatTypeWithCode(chance.seatType);
    event.choices.push_back({chance.train, seat ? seat->name() : chance.seatType, chance.level, chance.info});
  }
  output_.Write(event);
  if (placeListener_) placeListener_(placed.wishIndex, placed.reserveNo, "waiting");
}

void WaitlistRun::OnWaitlistRefused(std::size_t wishIndex, const std::string& reason) {
  WaitlistEvent event = EventOf(WaitlistEvent::Kind::kRefused, WishNumber(wishIndex));
  event.reason = reason;
  output_.Write(event);
  if (placeListener_) placeListener_(wishIndex, std::string(), "refused");
}

void WaitlistRun::OnWaitlistCancelled(std::size_t wishIndex, const std::string& reserveNo) {
  WaitlistEvent event = EventOf(WaitlistEvent::Kind::kCancelled, WishNumber(wishIndex));
  event.waitlistId = reserveNo;
  output_.Write(event);
  if (placeListener_) placeListener_(wishIndex, reserveNo, "cancelled");
}

void WaitlistRun::OnWaitlistExpired(std::size_t wishIndex, const std::string& reserveNo) {
  WaitlistEvent event = EventOf(WaitlistEvent::Kind::kExpired, WishNumber(wishIndex));
  event.waitlistId = reserveNo;
  output_.Write(event);
  if (placeListener_) placeListener_(wishIndex, reserveNo, "expired");
}

void WaitlistRun::OnWaitlistFilled(const OrderReport& order) {
  run_.OnWaitlistFilled(order);
  notifiers_.OnOrderBooked(order);
}

}  // namespace quillet::cli
