#include "booking/waitlist_answers.h"

#include "booking/answers.h"
#include "util/text.h"

namespace quillet {

namespace {

constexpr std::string_view kQuote = "\"";
constexpr std::string_view kStatusTrue = "\"status\":true";
constexpr std::string_view kStatusFalse = "\"status\":false";

bool Contains(std::string_view text, std::string_view marker) { return FindText(text, marker) != kNotFound; }

WaitlistReading Refused(std::string_view answer) { return {WaitlistVerdict::kRefused, ServiceMessage(answer)}; }

// The envelope's verdict, with `accepted` the marker of the data that says
// yes: an answer that says yes without it says no; one that says neither is
// none the request knows.
WaitlistReading ReadFlagged(std::string_view answer, std::string_view accepted) {
  if (Contains(answer, kStatusFalse)) return Refused(answer);
  if (!Contains(answer, kStatusTrue)) return {};
  if (Contains(answer, accepted)) return {WaitlistVerdict::kAccepted, {}};
  return Refused(answer);
}

int LevelOf(std::string_view text) {
  if (text.empty() || text.size() > 3) return 0;
  int level = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    level = level * 10 + (c - '0');
  }
  return level;
}

}  // namespace

WaitlistCheckReading ReadWaitlistCheck(std::string_view answer) {
  WaitlistCheckReading reading;
  static_cast<WaitlistReading&>(reading) = ReadFlagged(answer, "face_flag\":true");
  reading.faceCheck = reading.verdict == WaitlistVerdict::kRefused && Contains(answer, "face_flag\":false");
  return reading;
}

WaitlistChancesReading ReadWaitlistChances(std::string_view answer) {
  WaitlistChancesReading reading;
  static_cast<WaitlistReading&>(reading) = ReadFlagged(answer, "flag\":[");
  if (reading.verdict != WaitlistVerdict::kAccepted) return reading;
  const std::string list = TextBetween(answer, "flag\":[", "]");
  std::vector<std::string> items;
  ExtractItemsBetween(list, "{", "}", items, true);
  for (const std::string& item : items) {
    WaitlistChance chance;
    chance.train = TextBetween(item, "station_train_code\":\"", kQuote);
    chance.seatType = TextBetween(item, "seat_type_code\":\"", kQuote);
    chance.level = LevelOf(TextBetween(item, "level\":\"", kQuote));
    chance.info = TextBetween(item, "info\":\"", kQuote);
    if (!chance.train.empty()) reading.chances.push_back(std::move(chance));
  }
  return reading;
}

WaitlistReading ReadWaitlistSubmit(std::string_view answer) { return ReadFlagged(answer, "\"flag\":true"); }

WaitlistReading ReadWaitlistConfirm(std::string_view answer) { return ReadFlagged(answer, "\"flag\":true"); }

WaitlistQueueReading ReadWaitlistQueue(std::string_view answer) {
  WaitlistQueueReading reading;
  if (Contains(answer, kStatusFalse)) {
    static_cast<WaitlistReading&>(reading) = Refused(answer);
    return reading;
  }
  if (!Contains(answer, kStatusTrue)) return reading;
  reading.reserveNo = TextBetween(answer, "reserve_no\":\"", kQuote);
  if (!reading.reserveNo.empty() || Contains(answer, "\"status\":0")) reading.verdict = WaitlistVerdict::kAccepted;
  return reading;
}

WaitlistStateReading ReadWaitlistState(std::string_view answer) {
  WaitlistStateReading reading;
  if (Contains(answer, kStatusFalse)) {
    static_cast<WaitlistReading&>(reading) = Refused(answer);
    return reading;
  }
  if (!Contains(answer, kStatusTrue)) return reading;
  // The envelope's status is a truth value; the order's is a quoted code.
  const std::string code = TextBetween(answer, "\"status\":\"", kQuote);
  if (code == "1") {
    reading.status = WaitlistOrderStatus::kWaiting;
  } else if (code == "2") {
    reading.status = WaitlistOrderStatus::kFilled;
    reading.orderId = TextBetween(answer, "sequence_no\":\"", kQuote);
    reading.train = TextBetween(answer, "station_train_code\":\"", kQuote);
    reading.seatType = TextBetween(answer, "seat_type_code\":\"", kQuote);
  } else if (code == "3") {
    reading.status = WaitlistOrderStatus::kCancelled;
  } else if (code == "4") {
    reading.status = WaitlistOrderStatus::kExpired;
  } else {
    return reading;
  }
  reading.deadline = TextBetween(answer, "realize_limit_time\":\"", kQuote);
  reading.verdict = WaitlistVerdict::kAccepted;
  return reading;
}

WaitlistReading ReadWaitlistCancel(std::string_view answer) { return ReadFlagged(answer, "\"flag\":true"); }

bool WaitlistMarkOpen(std::string_view trainText) {
  constexpr std::size_t kMarkPiece = 37;
  const std::vector<std::string> pieces = SplitText(trainText, "|");
  return pieces.size() > kMarkPiece && pieces[kMarkPiece] == "1";
}

WaitlistReading ReadWaitlistTrains(std::string_view answer, const StationDirectory& stations,
                                   std::vector<WaitlistTrain>& trains) {
  if (Contains(answer, "messages\":[\"")) return Refused(answer);
  constexpr std::string_view kListStart = "result\":[";
  const int listAt = FindText(answer, kListStart);
  if (listAt == kNotFound) return {};
  const int from = listAt + static_cast<int>(kListStart.size());
  const int to = FindText(answer, "]}", from);
  if (to == kNotFound) return {};
  const std::string_view list = answer.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from));
  std::vector<std::string> items;
  ExtractItemsBetween(list, kQuote, kQuote, items, true);
  for (const std::string& item : items) {
    WaitlistTrain train;
    if (item == "," || !ReadTrainText(item, stations, train.record)) continue;
    train.waitlistOpen = WaitlistMarkOpen(item);
    trains.push_back(std::move(train));
  }
  return {WaitlistVerdict::kAccepted, {}};
}

}  // namespace quillet
