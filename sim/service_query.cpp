// The left-ticket query.
#include <algorithm>
#include <cstdio>

#include "answers.h"
#include "booking_service.h"

namespace quillet::sim {

namespace {

constexpr int kPresaleDays = 30;  // today and the 29 days after it

std::string TwoDigits(int n) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// The button text of a train whose sale has not opened, e.g. "08点00分起售".
std::string OpeningText(std::int64_t opensAtMs) {
  const std::string clock = ChinaDateTimeText(opensAtMs).substr(11, 5);
  return clock.substr(0, 2) + "点" + clock.substr(3, 2) + "分起售";
}

}  // namespace

std::string BookingService::TrainText(const TrainRun& run, const std::string& date,
                                      std::optional<std::int64_t> opensAtMs) {
  const TrainProfile& p = run.profile;
  const bool bookable = p.canWebBuy && !opensAtMs;
  const TrainRef ref{date, run.fromTelecode, run.toTelecode, p.code};
  std::vector<std::string> f(38);
  f[0] = tokens_.SecretStr(ref);
  f[1] = !p.canWebBuy ? "暂停发售" : opensAtMs ? OpeningText(*opensAtMs) : "预订";
  f[2] = p.trainNo;
  f[3] = p.code;
  f[4] = run.firstTelecode;
  f[5] = run.lastTelecode;
  f[6] = run.fromTelecode;
  f[7] = run.toTelecode;
  f[8] = ClockText(run.departMinute);
  f[9] = ClockText(run.ArriveMinute());
  f[10] = TwoDigits(run.durationMinute / 60) + ":" + TwoDigits(run.durationMinute % 60);
  f[11] = bookable ? "Y" : "N";
  f[12] = PercentEncode(tokens_.LeftTicket(ref));
  const auto parsed = ParseDate(date);
  f[13] = parsed ? CompactDate(*parsed) : date;
  f[14] = "3";
  f[15] = p.location;
  f[16] = TwoDigits(run.fromStationNo);
  f[17] = TwoDigits(run.toStationNo);
  f[18] = "1";
  f[19] = "0";
  for (int i = 20; i <= 33; ++i) f[static_cast<std::size_t>(i)] = "--";
  std::string seatTypes;
  std::string seatFeature;
  for (const std::string& code : p.seatCodes) {
    const SeatClass* seat = FindSeatClass(code);
    if (seat == nullptr) continue;
    const std::string count = opensAtMs && p.Offers(code) ? "*" : CountText(p, date, code);
    f[static_cast<std::size_t>(seat->field)] = count;
    if (code == "5") f[33] = count;
    if (code != "W") {
      seatTypes += code;
      seatFeature += code + "0";
    }
  }
  f[34] = seatFeature;
  f[35] = seatTypes;
  f[36] = "0";
  f[37] = WaitlistMark(run, date, bookable);
  std::string text;
  for (std::size_t i = 0; i < f.size(); ++i) text += (i ? "|" : "") + f[i];
  return text;
}

SimResponse BookingService::LeftTicketQuery(const SimRequest& request) {
  const FormFields query = ParseForm(request.rawQuery);
  const std::string dateText = Field(query, "leftTicketDTO.train_date");
  const std::string from = Field(query, "leftTicketDTO.from_station");
  const std::string to = Field(query, "leftTicketDTO.to_station");
  const std::string purpose = Field(query, "purpose_codes");
  if (purpose != "ADULT" && purpose != "0X00") return JsonRefusal(msg::kBadQuery);
  const auto date = ParseDate(dateText);
  const std::int64_t today = DaysFromCivil(ChinaDate(request.receivedMs));
  if (!date || DaysFromCivil(*date) < today || DaysFromCivil(*date) >= today + kPresaleDays) {
    return JsonRefusal(msg::kDateRange);
  }
  const Station* fromStation = stations_.ByTelecode(from);
  const Station* toStation = stations_.ByTelecode(to);
  if (fromStation == nullptr || toStation == nullptr) return JsonRefusal(msg::kUnknownStation);
  if (from == to) return JsonRefusal(msg::kSameStation);

  const std::vector<TrainRun> runs = timetable_.Runs(from, to);
  std::vector<std::string> telecodes = {from, to};
  const auto addTelecode = [&](const std::string& t) {
    if (std::find(telecodes.begin(), telecodes.end(), t) == telecodes.end()) telecodes.push_back(t);
  };
  // Judged by when the query arrived, so a test can tell exactly which side
  // of the moment it fell on.
  std::optional<std::int64_t> opensAtMs = SaleOpeningMs(dateText, from);
  if (opensAtMs && request.receivedMs >= *opensAtMs) opensAtMs.reset();
  std::string result;
  {
    Lock lock(mutex_);
    FindSession(request.cookieHeader);  // keeps a signed-in grab alive
    for (std::size_t i = 0; i < runs.size(); ++i) {
      result += (i ? ",\"" : "\"") + TrainText(runs[i], dateText, opensAtMs) + "\"";
      addTelecode(runs[i].firstTelecode);
      addTelecode(runs[i].lastTelecode);
    }
  }
  std::string map;
  for (const std::string& t : telecodes) {
    const Station* s = stations_.ByTelecode(t);
    map += (map.empty() ? "" : ",") + JsonStringFromUtf8(t) + ":" + JsonStringFromUtf8(s ? s->name : t);
  }
  const std::string data = "{\"flag\":\"1\",\"map\":{" + map + "},\"result\":[" + result + "]}";
  return SimResponse{200, kJsonType, Envelope(true, data, "\"\""), {}};
}

}  // namespace quillet::sim
