// Sessions, dispatch, stock and the control side of the booking service.
#include <algorithm>
#include <cstdio>

#include "answers.h"
#include "booking_service.h"

namespace quillet::sim {

namespace {

std::string Hex(Rng& rng, int length, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  for (int i = 0; i < length; ++i) out.push_back(digits[rng.Below(16)]);
  return out;
}

std::string StockKey(const std::string& date, const std::string& code, const std::string& seat) {
  return date + "|" + code + "|" + seat;
}

}  // namespace

BookingService::BookingService(const Options& options)
    : options_(options),
      timetable_(options.seed, stations_),
      tokens_(options.seed),
      accounts_(options.accounts),
      stationSales_(options.presaleDays),
      behaviour_(ParseDailyHours(options.hours), options.queryPath, options.throttle),
      started_(std::chrono::steady_clock::now()),
      idRng_(HashText(options.seed, "order-ids")),
      releaseRng_(HashText(options.seed, "releases")),
      qrRng_(HashText(options.seed, "qr-codes")) {
  for (const SaleOpening& opening : options.sales) sales_.Set(opening);
  for (const StationSale& sale : options.stationSales) stationSales_.Set(sale);
}

std::int64_t BookingService::SteadyMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count();
}

SimResponse BookingService::Handle(const SimRequest& request) {
  struct Route {
    const char* method;
    const char* path;
    SimResponse (BookingService::*handler)(const SimRequest&);
  };
  static const Route kRoutes[] = {
      {"GET", "/otn/login/init", &BookingService::LoginPage},
      {"GET", "/otn/passcodeNew/getPassCodeNew", &BookingService::CaptchaImage},
      {"POST", "/otn/passcodeNew/checkRandCodeAnsyn", &BookingService::CheckCaptcha},
      {"POST", "/otn/login/loginAysnSuggest", &BookingService::LoginSuggest},
      {"POST", "/otn/login/userLogin", &BookingService::UserLogin},
      {"GET", "/otn/index/initMy12306", &BookingService::MyPage},
      {"POST", "/otn/login/checkUser", &BookingService::CheckUser},
      {"GET", "/otn/leftTicket/query", &BookingService::LeftTicketQuery},
      {"POST", "/otn/confirmPassenger/initDc", &BookingService::OrderPage},
      {"POST", "/otn/confirmPassenger/getPassengerDTOs", &BookingService::Passengers},
      {"POST", "/otn/leftTicket/submitOrderRequest", &BookingService::SubmitOrder},
      {"POST", "/otn/confirmPassenger/checkOrderInfo", &BookingService::CheckOrderInfo},
      {"POST", "/otn/confirmPassenger/getQueueCount", &BookingService::QueueCount},
      {"POST", "/otn/confirmPassenger/confirmSingleForQueue", &BookingService::ConfirmQueue},
      {"GET", "/otn/confirmPassenger/queryOrderWaitTime", &BookingService::WaitTime},
      {"POST", "/otn/confirmPassenger/resultOrderForDcQueue", &BookingService::ResultOrder},
      {"POST", "/otn/queryOrder/queryMyOrderNoComplete", &BookingService::UncompletedOrders},
      {"GET", "/otn/resources/js/query/qss.js", &BookingService::StationSaleTimes},
      {"POST", "/passport/web/create-qr64", &BookingService::CreateQrCode},
      {"POST", "/passport/web/checkqr", &BookingService::CheckQrCode},
      {"POST", "/passport/web/auth/uamtk", &BookingService::PassportToken},
      {"POST", "/otn/uamauthclient", &BookingService::AuthClient},
      {"POST", "/otn/afterNate/chechFace", &BookingService::WaitlistCheckFace},
      {"POST", "/otn/afterNate/getSuccessRate", &BookingService::WaitlistSuccessRate},
      {"POST", "/otn/afterNate/submitOrderRequest", &BookingService::WaitlistSubmit},
      {"POST", "/otn/afterNate/confirmHB", &BookingService::WaitlistConfirm},
      {"POST", "/otn/afterNate/queryQueue", &BookingService::WaitlistQueue},
      {"POST", "/otn/afterNateQuery/queryProcess", &BookingService::WaitlistState},
      {"POST", "/otn/afterNateQuery/cancelWaitOrder", &BookingService::WaitlistCancel},
  };
  const ServiceBehaviour::Screened screened = behaviour_.Screen(request);
  if (screened.answer) return *screened.answer;
  if (screened.isQuery) return LeftTicketQuery(request);
  for (const Route& route : kRoutes) {
    if (request.path == route.path && request.method == route.method) return (this->*route.handler)(request);
  }
  if (request.method == "GET" && request.path == "/otn/leftTicket/init") return QueryPage();
  return NotFoundPage();
}

SimResponse BookingService::BusyAnswer(const std::string& path) {
  if (path == "/otn/confirmPassenger/checkOrderInfo" || path == "/otn/confirmPassenger/confirmSingleForQueue") {
    return JsonRefusal(msg::kBusy, "{\"errMsg\":\"" + std::string(msg::kBusy) + "\",\"submitStatus\":false}");
  }
  return JsonRefusal(msg::kBusy);
}

Session* BookingService::FindSession(const std::string& cookieHeader) {
  const std::int64_t now = SteadyMs();
  const auto ttl = static_cast<std::int64_t>(options_.sessionTtlSeconds * 1000);
  for (const auto& [name, value] : ParseCookieHeader(cookieHeader)) {
    if (name != "JSESSIONID") continue;
    const auto it = sessions_.find(value);
    if (it == sessions_.end()) continue;
    if (now - it->second->lastSeenMs > ttl) {
      DropSession(it);
      continue;
    }
    it->second->lastSeenMs = now;
    idleOrder_.splice(idleOrder_.end(), idleOrder_, it->second->idlePlace);
    return it->second.get();
  }
  return nullptr;
}

void BookingService::DropSession(std::map<std::string, std::unique_ptr<Session>>::iterator it) {
  idleOrder_.erase(it->second->idlePlace);
  sessions_.erase(it);
}

Session& BookingService::NewSession(SimResponse& response) {
  while (!idleOrder_.empty() && sessions_.size() >= static_cast<std::size_t>(options_.maxSessions)) {
    DropSession(sessions_.find(idleOrder_.front()));
  }
  const std::uint64_t index = ++sessionCounter_;
  auto session = std::make_unique<Session>();
  session->rng = Rng(HashText(options_.seed, "session:" + std::to_string(index)));
  do {
    session->id = Hex(session->rng, 32, true);
  } while (sessions_.count(session->id) != 0);
  session->lastSeenMs = SteadyMs();
  char bigIp[64];
  std::snprintf(bigIp, sizeof bigIp, "%llu.%llu.0000",
                static_cast<unsigned long long>(session->rng.Between(100000000, 2000000000)),
                static_cast<unsigned long long>(session->rng.Between(10000, 60000)));
  response.headers.emplace_back("Set-Cookie", "JSESSIONID=" + session->id + "; Path=/otn");
  response.headers.emplace_back("Set-Cookie", std::string("BIGipServerotn=") + bigIp + "; path=/");
  response.headers.emplace_back("Set-Cookie", "route=" + Hex(session->rng, 32, false) + "; Path=/");
  Session& ref = *session;
  session->idlePlace = idleOrder_.insert(idleOrder_.end(), session->id);
  sessions_.emplace(session->id, std::move(session));
  return ref;
}

int& BookingService::Stock(const std::string& date, const std::string& code, const std::string& seat) {
  const std::string key = StockKey(date, code, seat);
  auto it = stock_.find(key);
  if (it == stock_.end()) {
    // Most classes start sold out; the rest start with a few or many.
    Rng rng(HashText(options_.seed, "stock:" + key));
    const std::uint64_t roll = rng.Below(100);
    const int initial = roll < 72 ? 0 : roll < 90 ? rng.Between(1, 19) : rng.Between(20, 80);
    it = stock_.emplace(key, initial).first;
  }
  return it->second;
}

std::string BookingService::CountText(const TrainProfile& profile, const std::string& date, const std::string& seat) {
  if (!profile.Offers(seat)) return "--";
  if (!profile.canWebBuy) return "*";
  const int left = Stock(date, profile.code, seat);
  if (left <= 0) return "无";
  if (left >= 20) return "有";
  return std::to_string(left);
}

int BookingService::UnfinishedOrders(const std::string& account) const {
  return static_cast<int>(std::count_if(orders_.begin(), orders_.end(), [&](const Order& o) {
    return o.account == account && o.status != OrderStatus::kExpired;
  }));
}

void BookingService::ExpireOrders(std::int64_t nowMs) {
  bool returned = false;
  for (Order& order : orders_) {
    if (order.status != OrderStatus::kExpired && order.loseMs <= nowMs) {
      order.status = OrderStatus::kExpired;
      // the tickets go back on sale, to waitlist orders first
      Stock(order.date, order.run.profile.code, order.seatCode) += static_cast<int>(order.tickets.size());
      returned = true;
    }
  }
  if (returned) FillWaitlists();
}

std::string BookingService::NewOrderId() {
  while (true) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "E%09llu", static_cast<unsigned long long>(idRng_.Below(1000000000ULL)));
    const std::string id = buf;
    if (std::none_of(orders_.begin(), orders_.end(), [&](const Order& o) { return o.orderId == id; })) return id;
  }
}

std::string BookingService::BookingsJson() {
  Lock lock(mutex_);
  std::string json = "[";
  // One entry per ticket; the tickets of one order share its id.
  bool first = true;
  for (const Order& o : orders_) {
    const char* status = o.status == OrderStatus::kQueued   ? "queued"
                         : o.status == OrderStatus::kUnpaid ? "unpaid"
                                                            : "expired";
    for (const Ticket& t : o.tickets) {
      json += std::string(first ? "" : ",") + "{\"orderId\":" + JsonStringFromUtf8(o.orderId) +
              ",\"account\":" + JsonStringFromUtf8(o.account) +
              ",\"passenger_name\":" + JsonStringFromUtf8(t.passenger.name) +
              ",\"passenger_id_no\":" + JsonStringFromUtf8(t.passenger.idNo) +
              ",\"train_code\":" + JsonStringFromUtf8(o.run.profile.code) +
              ",\"train_date\":" + JsonStringFromUtf8(o.date) + ",\"from\":" + JsonStringFromUtf8(o.run.fromTelecode) +
              ",\"to\":" + JsonStringFromUtf8(o.run.toTelecode) + ",\"seat_type\":" + JsonStringFromUtf8(o.seatCode) +
              ",\"ticket_type\":" + JsonStringFromUtf8(t.ticketType) + ",\"status\":" + JsonStringFromUtf8(status) +
              ",\"coach\":" + JsonStringFromUtf8(o.coach) + ",\"seat\":" + JsonStringFromUtf8(t.seatName) +
              (t.position.empty() ? "" : ",\"position\":" + JsonStringFromUtf8(t.position)) +
              (t.berth.empty() ? "" : ",\"berth\":" + JsonStringFromUtf8(t.berth)) + "}";
      first = false;
    }
  }
  return json + "]";
}

std::size_t BookingService::SessionCount() {
  Lock lock(mutex_);
  return sessions_.size();
}

bool BookingService::CaptchaCellsJson(const std::string& sessionId, std::string& json) {
  Lock lock(mutex_);
  const auto it = sessions_.find(sessionId);
  if (it == sessions_.end() || !it->second->captcha) {
    json = "{\"cells\":[]}";
    return false;
  }
  json = "{\"cells\":[";
  const auto& cells = it->second->captcha->cells;
  for (std::size_t i = 0; i < cells.size(); ++i) json += (i ? "," : "") + std::to_string(cells[i]);
  json += "]}";
  return true;
}

bool BookingService::Release(const std::string& date, const std::string& train, const std::string& seat,
                             const std::string& count, std::string& answer) {
  const auto parsedDate = ParseDate(date);
  if (!parsedDate) {
    answer = "date must be yyyy-MM-dd";
    return false;
  }
  if (train.size() < 2 || std::string("GDKTZ").find(train[0]) == std::string::npos) {
    answer = "train must be a code such as G101";
    return false;
  }
  const TrainProfile profile = timetable_.Profile(train);
  if (!profile.Offers(seat)) {
    std::string offered;
    for (const auto& c : profile.seatCodes) offered += (offered.empty() ? "" : ",") + c;
    answer = "train " + train + " has no seat type '" + seat + "' (it has " + offered + ")";
    return false;
  }
  char* end = nullptr;
  const long n = std::strtol(count.c_str(), &end, 10);
  if (count.empty() || *end != '\0' || n < 0 || n > 100000) {
    answer = "count must be 0 to 100000";
    return false;
  }
  Lock lock(mutex_);
  Stock(date, train, seat) = static_cast<int>(n);
  FillWaitlists();  // before anyone can grab them
  answer = "{\"date\":" + JsonStringFromUtf8(date) + ",\"train\":" + JsonStringFromUtf8(train) +
           ",\"seat\":" + JsonStringFromUtf8(seat) + ",\"count\":" + std::to_string(n) + "}";
  return true;
}

int BookingService::StockCount(const std::string& date, const std::string& train, const std::string& seat) {
  Lock lock(mutex_);
  return Stock(date, train, seat);
}

void BookingService::Reset() {
  behaviour_.Reset();
  Lock lock(mutex_);
  sessions_.clear();
  idleOrder_.clear();
  orders_.clear();
  taken_.clear();
  waitlists_.clear();
  qrCodes_.clear();
  passportTokens_.clear();
  appTokens_.clear();
}

void BookingService::Maintain() {
  Lock lock(mutex_);
  ExpireOrders(UnixMsNow());
  ExpireWaitlistsLocked(UnixMsNow());
  const std::int64_t now = SteadyMs();
  const auto ttl = static_cast<std::int64_t>(options_.sessionTtlSeconds * 1000);
  while (!idleOrder_.empty()) {
    const auto it = sessions_.find(idleOrder_.front());
    if (now - it->second->lastSeenMs <= ttl) break;
    DropSession(it);
  }
  // Expired codes still answer "expired" for a while, then are forgotten.
  const auto qrKeep = static_cast<std::int64_t>(options_.qrTtlSeconds * 1000) + 600000;
  for (auto it = qrCodes_.begin(); it != qrCodes_.end();) {
    it = now - it->second.createdMs > qrKeep ? qrCodes_.erase(it) : std::next(it);
  }
}

void BookingService::ReleaseTickets() {
  Lock lock(mutex_);
  std::vector<std::map<std::string, int>::iterator> candidates;
  for (auto it = stock_.begin(); it != stock_.end(); ++it) {
    const std::size_t bar = it->first.find('|');
    const std::size_t bar2 = it->first.find('|', bar + 1);
    const std::string code = it->first.substr(bar + 1, bar2 - bar - 1);
    if (timetable_.Profile(code).canWebBuy) candidates.push_back(it);
  }
  if (candidates.empty()) return;
  const int picks = releaseRng_.Between(1, 3);
  for (int i = 0; i < picks; ++i) {
    auto it = candidates[releaseRng_.Below(candidates.size())];
    it->second += releaseRng_.Between(1, 5);
  }
  FillWaitlists();
}

}  // namespace quillet::sim
