// The order page, the passenger list, the order chain and the uncompleted
// orders.
#include <algorithm>
#include <cstdio>

#include "answers.h"
#include "booking_service.h"

namespace quillet::sim {

namespace {

constexpr std::int64_t kPaymentWindowMs = 30LL * 60 * 1000;
constexpr std::size_t kMaxPartySize = 5;  // the order page's maxTicketNum

std::string Hex(Rng& rng, int length, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  for (int i = 0; i < length; ++i) out.push_back(digits[rng.Below(16)]);
  return out;
}

std::vector<std::string> Split(const std::string& text, char separator, bool dropEmpty) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (true) {
    const std::size_t at = text.find(separator, pos);
    std::string part = text.substr(pos, at == std::string::npos ? std::string::npos : at - pos);
    if (!(dropEmpty && part.empty())) parts.push_back(std::move(part));
    if (at == std::string::npos) break;
    pos = at + 1;
  }
  return parts;
}

std::string PriceText(int tenths) { return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10); }

// A Java Date as the service's order page prints it.
std::string DateObject(const Date& day, int minuteOfDay, std::int64_t ms) {
  return "{'date':" + std::to_string(day.day) + ",'day':" + std::to_string(Weekday(day)) +
         ",'hours':" + std::to_string(minuteOfDay / 60) + ",'minutes':" + std::to_string(minuteOfDay % 60) +
         ",'month':" + std::to_string(day.month - 1) + ",'seconds':0,'time':" + std::to_string(ms) +
         ",'timezoneOffset':-480,'year':" + std::to_string(day.year - 1900) + "}";
}

// A time of day as the page gives it: that time on 1970-01-01, UTC+8.
std::string TimeOfDayObject(int minuteOfDay) {
  const Date epoch{1970, 1, 1};
  return DateObject(epoch, minuteOfDay, ChinaMidnightMs(epoch) + minuteOfDay * 60000LL);
}

const char* TicketTypeName(const std::string& code) {
  if (code == "1") return "成人票";
  if (code == "2") return "儿童票";
  if (code == "3") return "学生票";
  if (code == "4") return "残军票";
  return "";
}

// True when the request carries the page token the session was last given.
bool TokenMatches(const Session& session, const FormFields& fields) {
  return !session.token.empty() && Field(fields, "REPEAT_SUBMIT_TOKEN") == session.token;
}

// The order steps that answer in submitStatus form refuse a missing sign-in
// with the message repeated in the data.
SimResponse SubmitNotLoggedIn() {
  return JsonRefusal(msg::kNotLoggedIn,
                     "{\"errMsg\":\"" + std::string(msg::kNotLoggedIn) + "\",\"submitStatus\":false}");
}

}  // namespace

std::string BookingService::OrderPageScript(const Session& session) {
  std::string script = "var ctx='/otn/';\nvar globalRepeatSubmitToken = '" + session.token +
                       "';\nvar global_lang = 'zh_CN';\nvar isAsync = '1';\n";
  if (!session.pending) return script;
  const PendingOrder& pending = *session.pending;
  const TrainRun& run = pending.run;
  const Date day = *ParseDate(pending.ref.date);
  const Station* from = stations_.ByTelecode(run.fromTelecode);
  const Station* to = stations_.ByTelecode(run.toTelecode);

  std::string leftDetails;
  std::string seatCodes;
  for (const std::string& code : run.profile.seatCodes) {
    const SeatClass* seat = FindSeatClass(code);
    const int left = Stock(pending.ref.date, run.profile.code, code);
    const std::string amount = left <= 0 ? "无票" : left >= 20 ? "有票" : std::to_string(left) + "张票";
    leftDetails += std::string(leftDetails.empty() ? "" : ",") + "'" + seat->name + "(" +
                   PriceText(run.FareTenths(code)) + "元)" + amount + "'";
    if (code == "W") continue;
    seatCodes += std::string(seatCodes.empty() ? "" : ",") + "{'end_station_name':null,'end_time':null,'id':'" + code +
                 "','start_station_name':null,'start_time':null,'value':'" + seat->name + "'}";
  }
  const std::string orderRequest =
      "{'adult_num':0,'apply_order_no':null,'bed_level_order_num':null,'bureau_code':null,'cancel_flag':null,"
      "'card_num':null,'channel':null,'child_num':0,'choose_seat':null,'disability_num':0,'end_time':" +
      TimeOfDayObject(run.ArriveMinute()) + ",'exchange_train_flag':'1','from_station_code':'" + run.fromTelecode +
      "','from_station_name':'" + (from ? from->name : run.fromTelecode) +
      "','id_mode':'Y','isShowPassCode':null,'leftTicketGenTime':null,'order_date':null,'passengerFlag':null,"
      "'randCode':null,'reqIpAddress':null,'reqTimeLeftStr':null,'reserve_flag':'A','seatDetailType':null,"
      "'seatDetailTypes':null,'seat_type_code':null,'sequence_no':null,'start_time':" +
      TimeOfDayObject(run.departMinute) + ",'start_time_str':null,'station_train_code':'" + run.profile.code +
      "','student_num':0,'ticket_num':0,'ticket_type_order_num':null,'to_station_code':'" + run.toTelecode +
      "','to_station_name':'" + (to ? to->name : run.toTelecode) +
      "','tour_flag':null,'trainCodeText':null,'train_date':" + DateObject(day, 0, ChinaMidnightMs(day)) +
      ",'train_date_str':null,'train_location':null,'train_no':'" + run.profile.trainNo +
      "','train_type_flag':null,'varStr':null}";
  const std::string ticketInfo =
      "{'cardTypes':[{'end_station_name':null,'end_time':null,'id':'1','start_station_name':null,"
      "'start_time':null,'value':'中国居民身份证'}],'isAsync':'1','key_check_isChange':'" +
      pending.keyCheck + "','leftDetails':[" + leftDetails + "],'leftTicketStr':'" + tokens_.LeftTicket(pending.ref) +
      "','limitBuySeatTicketDTO':{'seat_type_codes':[" + seatCodes +
      "],'ticket_type_codes':[{'end_station_name':null,'end_time':null,'id':'1','start_station_name':null,"
      "'start_time':null,'value':'成人票'},{'end_station_name':null,'end_time':null,'id':'2',"
      "'start_station_name':null,'start_time':null,'value':'儿童票'},{'end_station_name':null,'end_time':null,"
      "'id':'3','start_station_name':null,'start_time':null,'value':'学生票'},{'end_station_name':null,"
      "'end_time':null,'id':'4','start_station_name':null,'start_time':null,'value':'残军票'}]},"
      "'maxTicketNum':'5','orderRequestDTO':" +
      orderRequest + ",'purpose_codes':'" + (pending.purposeCodes == "0X00" ? "0X00" : "00") +
      "','queryLeftTicketRequestDTO':{'from_station':'" + run.fromTelecode + "','purpose_codes':'" +
      pending.purposeCodes + "','station_train_code':'" + run.profile.code + "','to_station':'" + run.toTelecode +
      "','train_date':'" + CompactDate(day) + "','train_no':'" + run.profile.trainNo +
      "'},'tour_flag':'dc','train_location':'" + run.profile.location + "'}";
  return script + "var ticketInfoForPassengerForm=" + ticketInfo + ";\nvar orderRequestDTO=" + orderRequest + ";\n";
}

SimResponse BookingService::OrderPage(const SimRequest& request) {
  std::string script;
  {
    Lock lock(mutex_);
    Session* session = FindSession(request.cookieHeader);
    if (session == nullptr || !session->loggedIn) return Redirect("/otn/login/init");
    session->token = Hex(session->rng, 32, false);
    if (session->pending) {
      session->pending->keyCheck = Hex(session->rng, 56, true);
      session->pending->checked = false;
    }
    script = OrderPageScript(*session);
  }
  return HtmlPage(200, "订单信息 | 客运服务 | 铁路客户服务中心",
                  "<div id=\"content_defaultwarningAlert_id\"><h2>确认乘车人信息</h2></div>", script);
}

SimResponse BookingService::Passengers(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  if (!TokenMatches(*session, form)) return JsonRefusal(msg::kBadToken);
  const Account* account = accounts_.Find(session->account);
  const std::vector<Passenger> none;
  const auto& passengers = account ? account->passengers : none;
  std::string list;
  for (std::size_t i = 0; i < passengers.size(); ++i) {
    const Passenger& p = passengers[i];
    list += std::string(i ? "," : "") + "{\"code\":\"" + std::to_string(i + 1) +
            "\",\"passenger_name\":" + JsonStringFromUtf8(p.name) + ",\"sex_code\":" + JsonStringFromUtf8(p.sexCode) +
            ",\"sex_name\":" + JsonStringFromUtf8(p.sexName) +
            ",\"born_date\":" + JsonStringFromUtf8(p.bornDate + " 00:00:00") +
            ",\"country_code\":\"CN\",\"passenger_id_type_code\":" + JsonStringFromUtf8(p.idTypeCode) +
            ",\"passenger_id_type_name\":" + JsonStringFromUtf8(p.idTypeName) +
            ",\"passenger_id_no\":" + JsonStringFromUtf8(p.idNo) + ",\"passenger_type\":" + JsonStringFromUtf8(p.type) +
            ",\"passenger_flag\":\"0\",\"passenger_type_name\":" + JsonStringFromUtf8(p.typeName) +
            ",\"mobile_no\":" + JsonStringFromUtf8(p.mobile) +
            ",\"phone_no\":\"\",\"email\":\"\",\"address\":\"\",\"postalcode\":\"\",\"first_letter\":" +
            JsonStringFromUtf8(p.firstLetter) + ",\"recordCount\":\"" + std::to_string(passengers.size()) +
            "\",\"total_times\":\"99\",\"index_id\":\"" + std::to_string(i) + "\"}";
  }
  return JsonOk("{\"isExist\":true,\"exMsg\":\"\",\"normal_passengers\":[" + list + "],\"dj_passengers\":[]}");
}

SimResponse BookingService::SubmitOrder(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  const auto ref = tokens_.ReadSecretStr(Field(form, "secretStr"));
  std::optional<TrainRun> run;
  if (ref) {
    for (TrainRun& r : timetable_.Runs(ref->fromTelecode, ref->toTelecode)) {
      if (r.profile.code == ref->trainCode) run = std::move(r);
    }
  }
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  if (!ref || !run) return JsonRefusal(msg::kBadSecret);
  const std::string purpose = Field(form, "purpose_codes");
  const Station* from = stations_.ByTelecode(ref->fromTelecode);
  const Station* to = stations_.ByTelecode(ref->toTelecode);
  if (Field(form, "train_date") != ref->date || (purpose != "ADULT" && purpose != "0X00") ||
      Field(form, "tour_flag") != "dc" || from == nullptr || to == nullptr ||
      Field(form, "query_from_station_name") != from->name || Field(form, "query_to_station_name") != to->name) {
    return JsonRefusal(msg::kMismatch);
  }
  const auto date = ParseDate(ref->date);
  const std::int64_t today = DaysFromCivil(ChinaDate(UnixMsNow()));
  if (!date || DaysFromCivil(*date) < today || DaysFromCivil(*date) >= today + 30) return JsonRefusal(msg::kDateRange);
  if (!run->profile.canWebBuy) return JsonRefusal(msg::kNotForSale);
  const auto opensAtMs = SaleOpeningMs(ref->date, ref->fromTelecode);
  if (opensAtMs && request.receivedMs < *opensAtMs) return JsonRefusal(msg::kNotYetOnSale);
  ExpireOrders(UnixMsNow());
  if (UnfinishedOrders(session->account) >= options_.maxUnpaid) return JsonRefusal(msg::kUnpaid);
  PendingOrder pending;
  pending.ref = *ref;
  pending.run = std::move(*run);
  pending.purposeCodes = purpose;
  session->pending = std::move(pending);
  return JsonOk("\"N\"");
}

SimResponse BookingService::CheckOrderInfo(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return SubmitNotLoggedIn();
  if (!TokenMatches(*session, form)) return SubmitRefusal(msg::kBadToken);
  if (!session->pending || session->pending->keyCheck.empty()) return SubmitRefusal(msg::kNoPending);
  PendingOrder& pending = *session->pending;

  const std::string ticketStr = Field(form, "passengerTicketStr");
  const std::string oldStr = Field(form, "oldPassengerStr");
  // Several passengers travel on one order: their pieces are joined by "_",
  // in the same order in both strings, all in one seat class.
  const std::vector<std::string> tickets = Split(ticketStr, '_', true);
  const std::vector<std::string> olds = Split(oldStr, '_', true);
  if (tickets.empty() || tickets.size() > kMaxPartySize || tickets.size() != olds.size()) {
    return SubmitRefusal(msg::kPassenger);
  }
  const Account* account = accounts_.Find(session->account);
  if (account == nullptr) return SubmitRefusal(msg::kPassenger);
  std::string seat;
  std::vector<PendingOrder::Seat> seats;
  for (std::size_t k = 0; k < tickets.size(); ++k) {
    const std::vector<std::string> t = Split(tickets[k], ',', false);
    const std::vector<std::string> o = Split(olds[k], ',', false);
    if (t.size() != 8 || o.size() != 4) return SubmitRefusal(msg::kPassenger);
    if (k == 0) seat = t[0];
    if (t[0] != seat || seat == "W" || !pending.run.profile.Offers(seat)) return SubmitRefusal(msg::kSeatClass);
    const std::string& ticketType = t[2];
    if (ticketType != "1" && ticketType != "2" && ticketType != "3" && ticketType != "4") {
      return SubmitRefusal(msg::kTicketType);
    }
    std::size_t index = account->passengers.size();
    for (std::size_t i = 0; i < account->passengers.size(); ++i) {
      const Passenger& p = account->passengers[i];
      if (p.name == t[3] && p.idTypeCode == t[4] && p.idNo == t[5]) index = i;
    }
    if (index == account->passengers.size()) return SubmitRefusal(msg::kPassenger);
    const Passenger& passenger = account->passengers[index];
    if (o[0] != passenger.name || o[1] != passenger.idTypeCode || o[2] != passenger.idNo || o[3] != passenger.type) {
      return SubmitRefusal(msg::kPassenger);
    }
    if (ticketType == "3" && passenger.type != "3") return SubmitRefusal(msg::kStudent);
    const bool twice =
        std::any_of(seats.begin(), seats.end(), [&](const PendingOrder::Seat& s) { return s.passengerIndex == index; });
    if (twice) return SubmitRefusal(msg::kPassenger);
    seats.push_back({index, ticketType});
  }

  pending.checked = true;
  pending.passengerTicketStr = ticketStr;
  pending.oldPassengerStr = oldStr;
  pending.seatCode = seat;
  pending.seats = std::move(seats);
  return JsonOk(
      "{\"ifShowPassCode\":\"N\",\"canChooseBeds\":\"N\",\"canChooseSeats\":\"N\",\"choose_Seats\":\"MOP9\","
      "\"isCanChooseMid\":\"N\",\"ifShowPassCodeTime\":\"1\",\"submitStatus\":true,\"smokeStr\":\"\"}");
}

SimResponse BookingService::QueueCount(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  if (!TokenMatches(*session, form)) return JsonRefusal(msg::kBadToken);
  if (!session->pending || !session->pending->checked) return JsonRefusal(msg::kNoPending);
  const PendingOrder& pending = *session->pending;
  const Date day = *ParseDate(pending.ref.date);

  // The browser's date text: "Sun Dec 20 2026 00:00:00 GMT+0800 (...)".
  const std::vector<std::string> words = Split(Field(form, "train_date"), ' ', true);
  bool dateRight = words.size() >= 4 && words[0] == WeekdayAbbrev(Weekday(day)) && words[1] == MonthAbbrev(day.month) &&
                   words[3] == std::to_string(day.year);
  if (dateRight) {
    const std::string& d = words[2];
    dateRight = !d.empty() && d.size() <= 2 &&
                std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; }) && std::stoi(d) == day.day;
  }
  const TrainRun& run = pending.run;
  if (!dateRight || Field(form, "train_no") != run.profile.trainNo ||
      Field(form, "stationTrainCode") != run.profile.code || Field(form, "seatType") != pending.seatCode ||
      Field(form, "fromStationTelecode") != run.fromTelecode || Field(form, "toStationTelecode") != run.toTelecode ||
      Field(form, "leftTicket") != tokens_.LeftTicket(pending.ref)) {
    return JsonRefusal(msg::kQueueMismatch);
  }
  const int left = Stock(pending.ref.date, run.profile.code, pending.seatCode);
  int queue = 0;  // others with an order form for the same class open
  for (const auto& [id, other] : sessions_) {
    if (other.get() != session && other->pending && other->pending->checked &&
        other->pending->ref.date == pending.ref.date && other->pending->run.profile.code == run.profile.code &&
        other->pending->seatCode == pending.seatCode) {
      ++queue;
    }
  }
  return JsonOk("{\"count\":\"" + std::to_string(queue) + "\",\"ticket\":\"" + std::to_string(std::max(left, 0)) +
                ",0\",\"op_2\":\"" + (queue > left ? "true" : "false") + "\",\"countT\":\"0\",\"op_1\":\"false\"}");
}

SimResponse BookingService::ConfirmQueue(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return SubmitNotLoggedIn();
  if (!TokenMatches(*session, form)) return SubmitRefusal(msg::kBadToken);
  if (!session->pending || !session->pending->checked) return SubmitRefusal(msg::kNoPending);
  PendingOrder& pending = *session->pending;
  if (Field(form, "key_check_isChange") != pending.keyCheck ||
      Field(form, "leftTicketStr") != tokens_.LeftTicket(pending.ref) ||
      Field(form, "train_location") != pending.run.profile.location ||
      Field(form, "passengerTicketStr") != pending.passengerTicketStr ||
      Field(form, "oldPassengerStr") != pending.oldPassengerStr) {
    return SubmitRefusal(msg::kOrderChanged);
  }
  const std::int64_t now = UnixMsNow();
  ExpireOrders(now);
  if (UnfinishedOrders(session->account) >= options_.maxUnpaid) return SubmitRefusal(msg::kUnpaid);
  // All seats or none: a party is never split over what is left.
  int& left = Stock(pending.ref.date, pending.run.profile.code, pending.seatCode);
  const int partySize = static_cast<int>(pending.seats.size());
  if (left < partySize) return SubmitRefusal(msg::kTicketsGone);
  left -= partySize;

  const Account* account = accounts_.Find(session->account);
  Order order;
  order.orderId = NewOrderId();
  order.account = session->account;
  order.run = pending.run;
  order.date = pending.ref.date;
  order.seatCode = pending.seatCode;
  char coach[80];
  std::snprintf(coach, sizeof coach, "%02d", idRng_.Between(1, 16));
  order.coach = coach;
  const auto taken = taken_.find(pending.ref.date + "|" + pending.run.profile.code + "|" + pending.seatCode);
  const std::vector<GivenSeat> given =
      AssignSeats(idRng_, pending.seatCode, Field(form, "choose_seats"), Field(form, "seatDetailType"),
                  pending.seats.size(), taken == taken_.end() ? TakenPlaces{} : taken->second);
  for (std::size_t k = 0; k < pending.seats.size(); ++k) {
    const PendingOrder::Seat& seat = pending.seats[k];
    order.tickets.push_back({account->passengers[seat.passengerIndex], seat.ticketType, given[k].seatName,
                             given[k].position, given[k].berth});
  }
  order.createdMs = now;
  order.loseMs = now + kPaymentWindowMs;
  session->queuedOrderId = order.orderId;
  session->pollsLeft = session->rng.Between(0, 2);
  session->requestId = static_cast<std::int64_t>(6000000000000000000LL + session->rng.Below(1000000000000000000LL));
  orders_.push_back(std::move(order));
  session->pending.reset();
  return JsonOk("{\"submitStatus\":true}");
}

SimResponse BookingService::WaitTime(const SimRequest& request) {
  const FormFields query = ParseForm(request.rawQuery);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  if (!TokenMatches(*session, query)) return JsonRefusal(msg::kBadToken);
  if (Field(query, "tourFlag") != "dc") return JsonRefusal(msg::kBadQuery);
  if (session->queuedOrderId.empty()) return JsonRefusal(msg::kNoQueuedOrder);
  std::string data = "{\"queryOrderWaitTimeStatus\":true,\"count\":0,\"waitTime\":";
  if (session->pollsLeft > 0) {
    --session->pollsLeft;
    data += std::to_string(session->pollsLeft * 2 + session->rng.Between(1, 4)) +
            ",\"requestId\":" + std::to_string(session->requestId) +
            ",\"waitCount\":" + std::to_string(session->pollsLeft + 1) + ",\"tourFlag\":\"dc\",\"orderId\":null}";
  } else {
    data += "-1,\"requestId\":" + std::to_string(session->requestId) +
            ",\"waitCount\":0,\"tourFlag\":\"dc\",\"orderId\":\"" + session->queuedOrderId + "\"}";
  }
  return JsonOk(data);
}

SimResponse BookingService::ResultOrder(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  if (!TokenMatches(*session, form)) return JsonRefusal(msg::kBadToken);
  const std::string id = Field(form, "orderSequence_no");
  if (id.empty() || id != session->queuedOrderId || session->pollsLeft > 0) return JsonRefusal(msg::kWrongOrderId);
  const auto order = std::find_if(orders_.begin(), orders_.end(), [&](const Order& o) { return o.orderId == id; });
  if (order == orders_.end() || order->status == OrderStatus::kExpired) return JsonRefusal(msg::kWrongOrderId);
  if (order->status == OrderStatus::kQueued) {
    order->status = OrderStatus::kUnpaid;
    order->loseMs = UnixMsNow() + kPaymentWindowMs;
  }
  return JsonOk("{\"submitStatus\":true}");
}

SimResponse BookingService::UncompletedOrders(const SimRequest& request) {
  Lock lock(mutex_);
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr || !session->loggedIn) return JsonRefusal(msg::kNotLoggedIn);
  ExpireOrders(UnixMsNow());
  std::string list;
  for (const Order& o : orders_) {
    if (o.account != session->account || o.status != OrderStatus::kUnpaid) continue;
    const Station* from = stations_.ByTelecode(o.run.fromTelecode);
    const Station* to = stations_.ByTelecode(o.run.toTelecode);
    const std::string fromName = from ? from->name : o.run.fromTelecode;
    const std::string toName = to ? to->name : o.run.toTelecode;
    const int fare = o.run.FareTenths(o.seatCode);
    const std::string price = PriceText(fare);
    const std::string reserve = ChinaDateTimeText(o.createdMs);
    const std::string lose = ChinaDateTimeText(o.loseMs);
    const std::string departs = ClockText(o.run.departMinute);
    const std::string arrives = ClockText(o.run.ArriveMinute());
    const SeatClass* seat = FindSeatClass(o.seatCode);
    std::string tickets;
    std::string names;
    for (std::size_t k = 0; k < o.tickets.size(); ++k) {
      const Ticket& t = o.tickets[k];
      const std::string number = std::to_string(k + 1);
      tickets +=
          std::string(k ? "," : "") +
          "{\"stationTrainDTO\":{\"trainDTO\":{},\"station_train_code\":" + JsonStringFromUtf8(o.run.profile.code) +
          ",\"from_station_telecode\":" + JsonStringFromUtf8(o.run.fromTelecode) +
          ",\"from_station_name\":" + JsonStringFromUtf8(fromName) + ",\"start_time\":\"1970-01-01 " + departs +
          ":00\",\"to_station_telecode\":" + JsonStringFromUtf8(o.run.toTelecode) +
          ",\"to_station_name\":" + JsonStringFromUtf8(toName) + ",\"arrive_time\":\"1970-01-01 " + arrives +
          ":00\",\"distance\":\"" + std::to_string(o.run.distanceKm) +
          "\"},\"passengerDTO\":{\"passenger_name\":" + JsonStringFromUtf8(t.passenger.name) +
          ",\"passenger_id_type_code\":" + JsonStringFromUtf8(t.passenger.idTypeCode) +
          ",\"passenger_id_type_name\":" + JsonStringFromUtf8(t.passenger.idTypeName) +
          ",\"passenger_id_no\":" + JsonStringFromUtf8(t.passenger.idNo) + ",\"total_times\":\"98\"},\"ticket_no\":\"" +
          o.orderId + "1" + o.coach + "00" + number + "\",\"sequence_no\":\"" + o.orderId +
          "\",\"batch_no\":\"1\",\"train_date\":\"" + o.date + " 00:00:00\",\"coach_no\":\"" + o.coach +
          "\",\"coach_name\":\"" + o.coach + "\",\"seat_no\":\"000" + number +
          "\",\"seat_name\":" + JsonStringFromUtf8(t.seatName) +
          ",\"seat_flag\":\"0\",\"seat_type_code\":" + JsonStringFromUtf8(o.seatCode) +
          ",\"seat_type_name\":" + JsonStringFromUtf8(seat ? seat->name : o.seatCode) +
          ",\"ticket_type_code\":" + JsonStringFromUtf8(t.ticketType) +
          ",\"ticket_type_name\":" + JsonStringFromUtf8(TicketTypeName(t.ticketType)) + ",\"reserve_time\":\"" +
          reserve + "\",\"limit_time\":\"" + reserve + "\",\"lose_time\":\"" + lose + "\",\"pay_limit_time\":\"" +
          lose + "\",\"ticket_price\":" + std::to_string(fare * 10) +
          ",\"print_eticket_flag\":\"N\",\"resign_flag\":\"4\",\"return_flag\":\"N\",\"confirm_flag\":\"N\","
          "\"pay_mode_code\":\"Y\",\"ticket_status_code\":\"i\",\"ticket_status_name\":\"待支付\","
          "\"cancel_flag\":\"Y\","
          "\"amount_char\":0,\"trade_mode\":\"\",\"start_train_date_page\":\"" +
          o.date + " " + departs + "\",\"str_ticket_price_page\":\"" + price +
          "\",\"come_go_traveller_ticket_page\":\"N\",\"return_deliver_flag\":\"N\",\"deliver_fee_char\":\"\","
          "\"is_need_alert_flag\":false,\"is_deliver\":\"N\",\"dynamicProp\":\"\",\"fee_char\":\"\","
          "\"insure_query_no\":\"\",\"column_nine_msg\":\"\",\"lc_flag\":\"\",\"integral_pay_flag\":\"N\","
          "\"if_cash\":\"Y\",\"start_time_page\":\"" +
          departs + "\",\"arrive_time_page\":\"" + arrives + "\",\"train_no\":\"" + o.run.profile.trainNo + "\"}";
      names += std::string(k ? "," : "") + JsonStringFromUtf8(t.passenger.name);
    }
    const std::string count = std::to_string(o.tickets.size());
    const int total = fare * static_cast<int>(o.tickets.size());
    list += std::string(list.empty() ? "" : ",") + "{\"sequence_no\":\"" + o.orderId + "\",\"order_date\":\"" +
            reserve + "\",\"ticket_totalnum\":" + count + ",\"ticket_price_all\":" + std::to_string(total * 10) +
            ",\"cancel_flag\":\"Y\",\"resign_flag\":\"4\",\"return_flag\":\"N\",\"print_eticket_flag\":\"N\","
            "\"pay_flag\":\"Y\",\"pay_resign_flag\":\"N\",\"confirm_flag\":\"N\",\"tickets\":[" +
            tickets + "],\"reserve_flag_query\":\"p\",\"if_show_resigning_info\":\"N\",\"recordCount\":\"" + count +
            "\","
            "\"isNeedSendMailAndMsg\":\"N\",\"array_passser_name_page\":[" +
            names + "],\"from_station_name_page\":[" + JsonStringFromUtf8(fromName) + "],\"to_station_name_page\":[" +
            JsonStringFromUtf8(toName) + "],\"start_train_date_page\":\"" + o.date + " " + departs +
            "\",\"start_time_page\":\"" + departs + "\",\"arrive_time_page\":\"" + arrives +
            "\",\"train_code_page\":" + JsonStringFromUtf8(o.run.profile.code) + ",\"ticket_total_price_page\":\"" +
            PriceText(total) +
            "\",\"come_go_traveller_order_page\":\"N\",\"canOffLinePay\":\"N\",\"if_deliver\":\"N\","
            "\"insure_query_no\":\"\"}";
  }
  if (list.empty()) return JsonOk("{\"to_page\":\"db\"}");
  return JsonOk("{\"orderDBList\":[" + list + "],\"to_page\":\"db\"}");
}

}  // namespace quillet::sim
