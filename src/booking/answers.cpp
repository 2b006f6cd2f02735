#include "booking/answers.h"

#include <cctype>

#include "booking/texts.h"
#include "util/regex_matcher.h"
#include "util/text.h"

namespace quillet {

namespace texts = booking_texts;

namespace {

constexpr std::string_view kMessagesMarker = "messages\":[\"";
constexpr std::string_view kQuote = "\"";

bool Contains(std::string_view text, std::string_view marker) { return FindText(text, marker) != kNotFound; }

bool HasAsciiLetter(std::string_view text) {
  for (const char c : text)
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return false;
}

std::string SuccessOr(std::string_view answer, std::string_view successMarker, std::string_view reasonMarker) {
  if (Contains(answer, successMarker)) return texts::Success();
  return TextBetween(answer, reasonMarker, kQuote);
}

// Ten lazy groups; groups 9 and 10 (phone_no, email) are matched but not kept.
constexpr char kPassengerPattern[] =
    R"re(passenger_name":"(.*?)".*?sex_name":"(.*?)".*?passenger_id_type_code":"(.*?)","passenger_id_type_name":")re"
    R"re((.*?)","passenger_id_no":"(.*?)","passenger_type":"(.*?)".*?passenger_type_name":"(.*?)".*?mobile_no":")re"
    R"re((.*?)","phone_no":"(.*?)","email":"(.*?)")re";

}  // namespace

std::string ServiceMessage(std::string_view answer) { return TextBetween(answer, kMessagesMarker, kQuote); }

bool CaptchaAccepted(std::string_view answer) { return Contains(answer, "msg\":\"TRUE"); }

bool LoginAccepted(std::string_view answer, std::string& errorText) {
  if (Contains(answer, "loginCheck\":\"Y")) return true;
  errorText = ServiceMessage(answer);
  return false;
}

std::string ReadCheckUser(std::string_view answer) {
  return Contains(answer, "flag\":true") ? texts::Success() : texts::CheckUserFailed();
}

std::string ReadPageToken(std::string_view page) { return TextBetween(page, "globalRepeatSubmitToken = '", "'"); }

std::vector<PassengerRecord> MatchPassengers(const std::string& text) {
  std::vector<PassengerRecord> found;
  RegexMatcher matcher;
  if (!matcher.Run(kPassengerPattern, text)) return found;
  const int count = matcher.MatchCount();
  found.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) {
    PassengerRecord record;
    record.passenger_name = matcher.SubMatchText(i, 1);
    record.sex_name = matcher.SubMatchText(i, 2);
    record.passenger_type = matcher.SubMatchText(i, 6);
    record.passenger_type_name = matcher.SubMatchText(i, 7);
    record.passenger_id_type_code = matcher.SubMatchText(i, 3);
    record.passenger_id_type_name = matcher.SubMatchText(i, 4);
    record.passenger_id_no = matcher.SubMatchText(i, 5);
    record.mobile_no = matcher.SubMatchText(i, 8);
    found.push_back(std::move(record));
  }
  return found;
}

std::string ReadPassengers(std::string& answer, std::vector<PassengerRecord>& list) {
  if (Contains(answer, kMessagesMarker)) {
    answer = ServiceMessage(answer);
    return answer;
  }
  if (!Contains(answer, "\"status\":true")) return texts::NoValidAnswer();
  std::vector<PassengerRecord> found = MatchPassengers(answer);
  list.insert(list.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
  return texts::Success();
}

int ExtractItemsBetween(std::string_view text, std::string_view left, std::string_view right,
                        std::vector<std::string>& items, bool caseSensitive, int maxLength, std::string_view prefix,
                        std::string_view suffix, bool withLeft, bool withRight, int start) {
  items.clear();
  // An empty marker is "found" without moving on, so the scan would never end.
  if (left.empty() || right.empty()) return 0;
  // Folding case changes nothing for markers without letters (the quote
  // markers of the train list), and the exact search is much faster.
  const bool ignoreCase = !caseSensitive && (HasAsciiLetter(left) || HasAsciiLetter(right));
  int pos = start;
  for (;;) {
    const int leftAt = FindText(text, left, pos, ignoreCase);
    if (leftAt == kNotFound) break;
    const int from = leftAt + static_cast<int>(left.size());
    const int rightAt = FindText(text, right, from, ignoreCase);
    if (rightAt == kNotFound) break;

    std::string item = TrimSpaces(text.substr(static_cast<std::size_t>(from - 1),
                                              static_cast<std::size_t>(rightAt - from)));
    if (!prefix.empty() || !suffix.empty()) item = ConcatTexts(prefix, item, suffix);
    if (!item.empty()) {
      if (withLeft) item.insert(0, left);
      if (withRight) item.append(right);
      if (maxLength == 0 || item.size() < static_cast<std::size_t>(maxLength)) items.push_back(std::move(item));
    }
    pos = rightAt;
  }
  return static_cast<int>(items.size());
}

bool ReadTrainText(std::string_view trainText, const StationDirectory& stations, TrainRecord& record) {
  std::vector<std::string> pieces = SplitText(trainText, "|");
  if (pieces.size() < 33) return false;
  TrainRecord train;
  train.stationTrainCode = std::move(pieces[3]);
  train.trainNo = std::move(pieces[2]);
  train.startTime = std::move(pieces[8]);
  train.arriveTime = std::move(pieces[9]);
  const std::string* fromName = stations.FindNameForTelecode(pieces[6]);
  const std::string* toName = stations.FindNameForTelecode(pieces[7]);
  train.fromStationName = fromName ? *fromName : pieces[6];
  train.toStationName = toName ? *toName : pieces[7];
  train.fromTelecode = std::move(pieces[6]);
  train.toTelecode = std::move(pieces[7]);
  train.duration = std::move(pieces[10]);
  train.canWebBuy = std::move(pieces[11]);
  train.leftTicket = std::move(pieces[12]);
  train.businessSeat = std::move(pieces[32]);
  train.firstClassSeat = std::move(pieces[31]);
  train.secondClassSeat = std::move(pieces[30]);
  train.hardSeat = std::move(pieces[29]);
  train.hardSleeper = std::move(pieces[28]);
  train.noSeat = std::move(pieces[26]);
  train.seatCount25 = std::move(pieces[25]);
  train.softSeat = std::move(pieces[24]);
  train.softSleeper = std::move(pieces[23]);
  train.deluxeSoftSleeper = std::move(pieces[20]);
  train.otherSeat = std::move(pieces[22]);
  train.secretStr = std::move(pieces[0]);
  train.trainLocation = std::move(pieces[15]);
  record = std::move(train);
  return true;
}

std::string ReadLeftTickets(std::string& answer, const StationDirectory& stations,
                            std::vector<TrainRecord>& records) {
  if (Contains(answer, kMessagesMarker)) {
    answer = ServiceMessage(answer);
    return answer;
  }
  // Only an answer that holds the whole result list counts; an empty list is fine.
  constexpr std::string_view kListStart = "result\":[";
  const int listAt = FindText(answer, kListStart);
  if (listAt == kNotFound) return texts::NoValidAnswer();
  const int from = listAt + static_cast<int>(kListStart.size());
  const int to = FindText(answer, "]}", from);
  if (to == kNotFound) return texts::NoValidAnswer();
  answer = answer.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from));

  // With a quote as both markers the items alternate between a train text
  // and the "," that stood between two quoted texts.
  std::vector<std::string> items;
  ExtractItemsBetween(answer, kQuote, kQuote, items);
  records.reserve(records.size() + items.size() / 2 + 1);
  for (const std::string& item : items) {
    if (item == ",") continue;
    TrainRecord record;
    if (ReadTrainText(item, stations, record)) records.push_back(std::move(record));
  }
  return texts::Success();
}

std::string ReadSubmitOrderRequest(std::string_view answer) {
  return SuccessOr(answer, "status\":true", kMessagesMarker);
}

std::string ReadTrainDateMs(std::string_view page) {
  constexpr std::string_view kObject = "'train_date':{";
  constexpr std::string_view kTime = "'time':";
  const int objectAt = FindText(page, kObject);
  if (objectAt == kNotFound) return {};
  const int from = objectAt + static_cast<int>(kObject.size());
  const int end = FindText(page, "}", from);
  if (end == kNotFound) return {};
  const std::string_view object = page.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(end - from));
  const int timeAt = FindText(object, kTime);
  if (timeAt == kNotFound) return {};
  std::size_t digit = static_cast<std::size_t>(timeAt - 1) + kTime.size();
  const std::size_t first = digit;
  while (digit < object.size() && std::isdigit(static_cast<unsigned char>(object[digit]))) ++digit;
  return std::string(object.substr(first, digit - first));
}

std::string ReadInitDc(std::string_view page, OrderPageValues& values) {
  values.repeatSubmitToken = TextBetween(page, "globalRepeatSubmitToken = '", "';");
  values.leftTicketStr = TextBetween(page, "leftTicketStr':'", "','");
  values.trainDateMs = ReadTrainDateMs(page);
  values.keyCheckIsChange = TextBetween(page, "'key_check_isChange':'", "','");
  return values.leftTicketStr.empty() ? texts::Failed() : texts::Success();
}

std::string ReadCheckOrderInfo(std::string_view answer) {
  return SuccessOr(answer, "submitStatus\":true", "errMsg\":\"");
}

std::string ReadGetQueueCount(std::string_view answer) {
  if (!Contains(answer, "true")) return texts::QueueCountFailed();
  if (TextBetween(answer, "op_2\":\"", kQuote) == "true") return texts::QueueLongerThanStock();
  if (TextBetween(answer, "ticket\":\"", ",") == "0") return texts::UnknownError();
  return texts::Success();
}

std::string ReadConfirmSingleForQueue(std::string_view answer) {
  return SuccessOr(answer, "submitStatus\":true", "errMsg\":\"");
}

std::string ReadOrderWaitTime(std::string_view answer) { return TextBetween(answer, "orderId\":\"", kQuote); }

std::string ReadResultOrderForDcQueue(std::string_view answer) {
  return SuccessOr(answer, "submitStatus\":true", kMessagesMarker);
}

std::string ReadUncompletedOrders(std::string_view answer) {
  return Contains(answer, "orderDBList") ? texts::Success() : texts::NoResult();
}

}  // namespace quillet
