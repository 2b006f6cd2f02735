// Waitlist orders: the party check, the chance of success, submit, confirm,
// the queue, the state of an order and its cancellation; filling from
// returned tickets and the end at the deadline.
#include <algorithm>
#include <cstdio>

#include "answers.h"
#include "booking_service.h"

namespace quillet::sim {

namespace {

constexpr std::int64_t kPaymentWindowMs = 30LL * 60 * 1000;

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t at = text.find(separator, pos);
    parts.push_back(text.substr(pos, at == std::string::npos ? std::string::npos : at - pos));
    if (at == std::string::npos) break;
    pos = at + 1;
  }
  return parts;
}

std::int64_t DepartureMs(const WaitlistChoice& choice) {
  const auto day = ParseDate(choice.ref.date);
  return (day ? ChinaMidnightMs(*day) : 0) + choice.run.departMinute * 60000LL;
}

std::int64_t ArrivalMs(const WaitlistChoice& choice) {
  return DepartureMs(choice) + choice.run.durationMinute * 60000LL;
}

bool Overlap(const WaitlistChoice& a, const WaitlistChoice& b) {
  return DepartureMs(a) < ArrivalMs(b) && DepartureMs(b) < ArrivalMs(a);
}

std::string DeadlineText(std::int64_t ms) { return ChinaDateTimeText(ms).substr(0, 16); }

// A waitlist order's seats are given when it is filled, like a grabbed one's.
std::string FilledSeatName(Rng& rng) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%c号", rng.Between(1, 18), "ABCDF"[rng.Below(5)]);
  return buf;
}

SimResponse WaitlistOk(const std::string& data) { return JsonOk(data); }

}  // namespace

const char* WaitlistStatusCode(WaitlistStatus status) {
  switch (status) {
    case WaitlistStatus::kWaiting:
      return "1";
    case WaitlistStatus::kFilled:
      return "2";
    case WaitlistStatus::kCancelled:
      return "3";
    case WaitlistStatus::kExpired:
      return "4";
  }
  return "0";
}

const char* WaitlistStatusName(WaitlistStatus status) {
  switch (status) {
    case WaitlistStatus::kWaiting:
      return msg::kWaitlistWaiting;
    case WaitlistStatus::kFilled:
      return msg::kWaitlistFilled;
    case WaitlistStatus::kCancelled:
      return msg::kWaitlistCancelled;
    case WaitlistStatus::kExpired:
      return msg::kWaitlistExpired;
  }
  return "";
}

const char* WaitlistStatusWord(WaitlistStatus status) {
  switch (status) {
    case WaitlistStatus::kWaiting:
      return "waiting";
    case WaitlistStatus::kFilled:
      return "filled";
    case WaitlistStatus::kCancelled:
      return "cancelled";
    case WaitlistStatus::kExpired:
      return "expired";
  }
  return "";
}

bool ReadSecretList(const std::string& text, std::vector<WaitlistPick>& picks) {
  picks.clear();
  for (const std::string& piece : SplitAt(text, '|')) {
    if (piece.empty()) continue;
    const std::size_t hash = piece.find('#');
    if (hash == std::string::npos || hash == 0 || hash + 1 >= piece.size()) return false;
    picks.push_back({piece.substr(0, hash), piece.substr(hash + 1)});
  }
  return !picks.empty();
}

std::optional<std::int64_t> ParseWaitlistDeadline(const std::string& text) {
  if (text.size() != 16) return std::nullopt;
  return ParseChinaDateTime(text + ":00");
}

std::string BookingService::WaitlistMark(const TrainRun& run, const std::string& date, bool bookable) {
  if (!bookable) return "0";
  const auto day = ParseDate(date);
  if (!day || ChinaMidnightMs(*day) + run.departMinute * 60000LL - kWaitlistDeadlineLeadMs <= UnixMsNow()) return "0";
  for (const std::string& code : run.profile.seatCodes) {
    if (code != "W" && Stock(date, run.profile.code, code) <= 0) return "1";
  }
  return "0";
}

bool BookingService::WaitlistClosedFor(const WaitlistChoice& choice, std::int64_t nowMs) {
  return !choice.run.profile.canWebBuy || !sales_.OnSale(choice.ref.date, nowMs) ||
         DepartureMs(choice) - kWaitlistDeadlineLeadMs <= nowMs ||
         Stock(choice.ref.date, choice.run.profile.code, choice.seatCode) > 0;
}

std::string BookingService::ResolveWaitlistChoices(const std::string& secretList, std::int64_t nowMs,
                                                   std::vector<WaitlistChoice>& choices) {
  std::vector<WaitlistPick> picks;
  if (!ReadSecretList(secretList, picks) || picks.size() > kMaxWaitlistChoices) return msg::kWaitlistChoices;
  choices.clear();
  for (const WaitlistPick& pick : picks) {
    const auto ref = tokens_.ReadSecretStr(pick.secretStr);
    if (!ref) return msg::kBadSecret;
    WaitlistChoice choice;
    bool found = false;
    for (TrainRun& r : timetable_.Runs(ref->fromTelecode, ref->toTelecode)) {
      if (r.profile.code == ref->trainCode) {
        choice.run = std::move(r);
        found = true;
      }
    }
    if (!found) return msg::kBadSecret;
    choice.ref = *ref;
    choice.seatCode = pick.seatCode;
    if (pick.seatCode == "W" || !choice.run.profile.Offers(pick.seatCode)) return msg::kWaitlistChoices;
    // One date for all; each (train, class) once.
    const bool repeated = std::any_of(choices.begin(), choices.end(), [&](const WaitlistChoice& c) {
      return c.ref.trainCode == choice.ref.trainCode && c.seatCode == choice.seatCode;
    });
    if (repeated || (!choices.empty() && choices.front().ref.date != choice.ref.date)) return msg::kWaitlistChoices;
    if (WaitlistClosedFor(choice, nowMs)) return msg::kWaitlistNotOpen;
    choices.push_back(std::move(choice));
  }
  return {};
}

bool BookingService::HasOpenWaitlist(const std::string& account) const {
  return std::any_of(waitlists_.begin(), waitlists_.end(), [&](const WaitlistOrder& w) {
    return w.account == account && w.status == WaitlistStatus::kWaiting;
  });
}

bool BookingService::PassengerBusy(const std::string& idNo, const std::vector<WaitlistChoice>& choices) const {
  const auto overlapsAny = [&](const WaitlistChoice& held) {
    return std::any_of(choices.begin(), choices.end(), [&](const WaitlistChoice& c) { return Overlap(held, c); });
  };
  for (const Order& order : orders_) {
    if (order.status == OrderStatus::kExpired) continue;
    const bool travels = std::any_of(order.tickets.begin(), order.tickets.end(),
                                     [&](const Ticket& t) { return t.passenger.idNo == idNo; });
    if (travels && overlapsAny(WaitlistChoice{TrainRef{order.date, {}, {}, {}}, order.run, order.seatCode})) {
      return true;
    }
  }
  for (const WaitlistOrder& w : waitlists_) {
    if (w.status != WaitlistStatus::kWaiting) continue;
    const bool waits = std::any_of(w.party.begin(), w.party.end(),
                                   [&](const WaitlistOrder::Member& m) { return m.passenger.idNo == idNo; });
    if (waits && std::any_of(w.choices.begin(), w.choices.end(), overlapsAny)) return true;
  }
  return false;
}

SimResponse BookingService::WaitlistCheckFace(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  const Account* account = accounts_.Find(session->account);
  if (account == nullptr || account->needsFaceCheck) {
    return JsonRefusal(msg::kFaceCheck, "{\"face_flag\":false,\"face_check_code\":\"01\",\"login_flag\":true}");
  }
  PendingWaitlist pending;
  pending.secretList = Field(form, "secretList");
  const std::string refusal = ResolveWaitlistChoices(pending.secretList, request.receivedMs, pending.choices);
  if (!refusal.empty()) return JsonRefusal(refusal);
  session->waitlist = std::move(pending);
  return WaitlistOk("{\"face_flag\":true,\"face_check_code\":\"\",\"login_flag\":true}");
}

SimResponse BookingService::WaitlistSuccessRate(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  std::vector<WaitlistChoice> choices;
  const std::string refusal = ResolveWaitlistChoices(Field(form, "successSecret"), request.receivedMs, choices);
  if (!refusal.empty()) return JsonRefusal(refusal);
  std::string list;
  for (const WaitlistChoice& choice : choices) {
    // The fewer wait ahead for the same class, the better the chance.
    const auto ahead = std::count_if(waitlists_.begin(), waitlists_.end(), [&](const WaitlistOrder& w) {
      return w.status == WaitlistStatus::kWaiting &&
             std::any_of(w.choices.begin(), w.choices.end(), [&](const WaitlistChoice& c) {
               return c.ref.date == choice.ref.date && c.run.profile.code == choice.run.profile.code &&
                      c.seatCode == choice.seatCode;
             });
    });
    const char* level = ahead == 0 ? "3" : ahead < 3 ? "2" : "1";
    const char* info = ahead == 0  ? msg::kWaitlistChanceHigh
                       : ahead < 3 ? msg::kWaitlistChanceMiddle
                                   : msg::kWaitlistChanceLow;
    list += std::string(list.empty() ? "" : ",") + "{\"train_no\":" + JsonStringFromUtf8(choice.run.profile.trainNo) +
            ",\"station_train_code\":" + JsonStringFromUtf8(choice.run.profile.code) +
            ",\"seat_type_code\":" + JsonStringFromUtf8(choice.seatCode) + ",\"level\":\"" + level +
            "\",\"info\":" + JsonStringFromUtf8(info) + "}";
  }
  return WaitlistOk("{\"flag\":[" + list + "]}");
}

SimResponse BookingService::WaitlistSubmit(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  if (!session->waitlist || session->waitlist->secretList != Field(form, "secretList")) {
    return JsonRefusal(msg::kWaitlistNoPending);
  }
  ExpireWaitlistsLocked(UnixMsNow());
  if (HasOpenWaitlist(session->account)) return JsonRefusal(msg::kWaitlistHeld);
  // The classes may have come back on sale since the check.
  for (const WaitlistChoice& choice : session->waitlist->choices) {
    if (WaitlistClosedFor(choice, request.receivedMs)) return JsonRefusal(msg::kWaitlistNotOpen);
  }
  session->waitlist->submitted = true;
  return WaitlistOk("{\"flag\":true}");
}

SimResponse BookingService::WaitlistConfirm(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  if (!session->waitlist || !session->waitlist->submitted) return JsonRefusal(msg::kWaitlistNoPending);
  const Account* account = accounts_.Find(session->account);
  if (account == nullptr) return JsonRefusal(msg::kPassenger);
  const std::vector<WaitlistChoice>& choices = session->waitlist->choices;

  // "name#idType#idNo#ticketType;" for each of the party.
  std::vector<WaitlistOrder::Member> party;
  for (const std::string& piece : SplitAt(Field(form, "passengers"), ';')) {
    if (piece.empty()) continue;
    const std::vector<std::string> f = SplitAt(piece, '#');
    if (f.size() != 4) return JsonRefusal(msg::kPassenger);
    const auto it = std::find_if(account->passengers.begin(), account->passengers.end(), [&](const Passenger& p) {
      return p.name == f[0] && p.idTypeCode == f[1] && p.idNo == f[2];
    });
    if (it == account->passengers.end()) return JsonRefusal(msg::kPassenger);
    if (f[3] != "1" && f[3] != "2" && f[3] != "3" && f[3] != "4") return JsonRefusal(msg::kTicketType);
    if (f[3] == "3" && it->type != "3") return JsonRefusal(msg::kStudent);
    const bool twice = std::any_of(party.begin(), party.end(),
                                   [&](const WaitlistOrder::Member& m) { return m.passenger.idNo == it->idNo; });
    if (twice) return JsonRefusal(msg::kPassenger);
    party.push_back({*it, f[3]});
  }
  if (party.empty() || party.size() > kMaxWaitlistParty) return JsonRefusal(msg::kWaitlistParty);

  const std::int64_t now = UnixMsNow();
  std::int64_t earliest = DepartureMs(choices.front());
  for (const WaitlistChoice& c : choices) earliest = std::min(earliest, DepartureMs(c));
  const auto deadline = ParseWaitlistDeadline(Field(form, "jzParam"));
  if (!deadline || *deadline <= now || *deadline > earliest - kWaitlistDeadlineLeadMs) {
    return JsonRefusal(msg::kWaitlistDeadline);
  }
  ExpireOrders(now);
  ExpireWaitlistsLocked(now);
  if (HasOpenWaitlist(session->account)) return JsonRefusal(msg::kWaitlistHeld);
  for (const WaitlistOrder::Member& m : party) {
    if (PassengerBusy(m.passenger.idNo, choices)) return JsonRefusal(msg::kWaitlistConflict);
  }

  WaitlistOrder order;
  do {
    char buf[32];
    std::snprintf(buf, sizeof buf, "H%012llu", static_cast<unsigned long long>(idRng_.Below(1000000000000ULL)));
    order.reserveNo = buf;
  } while (std::any_of(waitlists_.begin(), waitlists_.end(),
                       [&](const WaitlistOrder& w) { return w.reserveNo == order.reserveNo; }));
  order.account = session->account;
  order.choices = choices;
  order.party = std::move(party);
  order.placedMs = now;
  order.deadlineMs = *deadline;
  order.placement = ++waitlistPlacements_;
  session->queuedWaitlist = order.reserveNo;
  session->waitlistPollsLeft = session->rng.Between(0, 1);
  session->waitlist.reset();
  waitlists_.push_back(std::move(order));
  return WaitlistOk("{\"flag\":true}");
}

SimResponse BookingService::WaitlistQueue(const SimRequest& request) {
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  if (session->queuedWaitlist.empty()) return JsonRefusal(msg::kNoQueuedOrder);
  if (session->waitlistPollsLeft > 0) {
    --session->waitlistPollsLeft;
    return WaitlistOk("{\"status\":0,\"waitTime\":2,\"reserve_no\":null}");
  }
  return WaitlistOk("{\"status\":1,\"waitTime\":-1,\"reserve_no\":\"" + session->queuedWaitlist + "\"}");
}

SimResponse BookingService::WaitlistState(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  ExpireOrders(UnixMsNow());
  ExpireWaitlistsLocked(UnixMsNow());
  const std::string reserveNo = Field(form, "reserve_no");
  const auto it = std::find_if(waitlists_.begin(), waitlists_.end(), [&](const WaitlistOrder& w) {
    return w.reserveNo == reserveNo && w.account == session->account;
  });
  if (reserveNo.empty() || it == waitlists_.end()) return JsonRefusal(msg::kNoWaitlistOrder);
  std::string filled;  // what the order was filled with
  if (it->status == WaitlistStatus::kFilled && it->filledChoice < it->choices.size()) {
    const WaitlistChoice& choice = it->choices[it->filledChoice];
    filled = ",\"station_train_code\":" + JsonStringFromUtf8(choice.run.profile.code) +
             ",\"seat_type_code\":" + JsonStringFromUtf8(choice.seatCode);
  }
  return WaitlistOk("{\"reserve_no\":\"" + it->reserveNo + "\",\"status\":\"" + WaitlistStatusCode(it->status) +
                    "\",\"status_name\":" + JsonStringFromUtf8(WaitlistStatusName(it->status)) +
                    ",\"realize_limit_time\":\"" + DeadlineText(it->deadlineMs) + "\",\"sequence_no\":\"" +
                    it->orderId + "\"" + filled + "}");
}

SimResponse BookingService::WaitlistCancel(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  ExpireWaitlistsLocked(UnixMsNow());
  const std::string reserveNo = Field(form, "reserve_no");
  const auto it = std::find_if(waitlists_.begin(), waitlists_.end(), [&](const WaitlistOrder& w) {
    return w.reserveNo == reserveNo && w.account == session->account;
  });
  if (reserveNo.empty() || it == waitlists_.end()) return JsonRefusal(msg::kNoWaitlistOrder);
  if (it->status != WaitlistStatus::kWaiting) {
    return JsonRefusal(msg::kWaitlistNotCancellable,
                       std::string("{\"status\":\"") + WaitlistStatusCode(it->status) + "\"}");
  }
  it->status = WaitlistStatus::kCancelled;
  return WaitlistOk("{\"flag\":true}");
}

void BookingService::FillWaitlists() {
  const std::int64_t now = UnixMsNow();
  for (WaitlistOrder& w : waitlists_) {  // in placement order
    if (w.status != WaitlistStatus::kWaiting) continue;
    if (w.deadlineMs <= now) {
      w.status = WaitlistStatus::kExpired;
      continue;
    }
    const int partySize = static_cast<int>(w.party.size());
    for (std::size_t index = 0; index < w.choices.size(); ++index) {
      const WaitlistChoice& choice = w.choices[index];
      int& left = Stock(choice.ref.date, choice.run.profile.code, choice.seatCode);
      if (left < partySize) continue;  // all the party or none
      left -= partySize;
      Order order;
      order.orderId = NewOrderId();
      order.account = w.account;
      order.run = choice.run;
      order.date = choice.ref.date;
      order.seatCode = choice.seatCode;
      char coach[8];
      std::snprintf(coach, sizeof coach, "%02d", idRng_.Between(1, 16));
      order.coach = coach;
      for (const WaitlistOrder::Member& m : w.party) {
        order.tickets.push_back({m.passenger, m.ticketType, FilledSeatName(idRng_)});
      }
      order.createdMs = now;
      order.loseMs = now + kPaymentWindowMs;
      order.status = OrderStatus::kUnpaid;
      w.status = WaitlistStatus::kFilled;
      w.orderId = order.orderId;
      w.filledChoice = index;
      orders_.push_back(std::move(order));
      break;
    }
  }
}

void BookingService::ExpireWaitlistsLocked(std::int64_t nowMs) {
  for (WaitlistOrder& w : waitlists_) {
    if (w.status == WaitlistStatus::kWaiting && w.deadlineMs <= nowMs) w.status = WaitlistStatus::kExpired;
  }
}

void BookingService::ExpireWaitlists(std::int64_t nowMs) {
  Lock lock(mutex_);
  ExpireWaitlistsLocked(nowMs);
}

std::string BookingService::WaitlistJson() {
  Lock lock(mutex_);
  std::string json = "[";
  for (std::size_t i = 0; i < waitlists_.size(); ++i) {
    const WaitlistOrder& w = waitlists_[i];
    std::string choices;
    for (const WaitlistChoice& c : w.choices) {
      choices += std::string(choices.empty() ? "" : ",") + "{\"train_code\":" + JsonStringFromUtf8(c.run.profile.code) +
                 ",\"seat_type\":" + JsonStringFromUtf8(c.seatCode) + "}";
    }
    std::string party;
    for (const WaitlistOrder::Member& m : w.party) {
      party += std::string(party.empty() ? "" : ",") + "{\"passenger_name\":" + JsonStringFromUtf8(m.passenger.name) +
               ",\"passenger_id_no\":" + JsonStringFromUtf8(m.passenger.idNo) +
               ",\"ticket_type\":" + JsonStringFromUtf8(m.ticketType) + "}";
    }
    json += std::string(i ? "," : "") + "{\"reserveNo\":" + JsonStringFromUtf8(w.reserveNo) +
            ",\"account\":" + JsonStringFromUtf8(w.account) +
            ",\"train_date\":" + JsonStringFromUtf8(w.choices.empty() ? "" : w.choices.front().ref.date) +
            ",\"from\":" + JsonStringFromUtf8(w.choices.empty() ? "" : w.choices.front().run.fromTelecode) +
            ",\"to\":" + JsonStringFromUtf8(w.choices.empty() ? "" : w.choices.front().run.toTelecode) +
            ",\"choices\":[" + choices + "],\"party\":[" + party +
            "],\"deadline\":" + JsonStringFromUtf8(DeadlineText(w.deadlineMs)) + ",\"status\":\"" +
            WaitlistStatusWord(w.status) +
            "\",\"orderId\":" + (w.orderId.empty() ? std::string("null") : JsonStringFromUtf8(w.orderId)) + "}";
  }
  return json + "]";
}

}  // namespace quillet::sim
