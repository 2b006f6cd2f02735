#include "booking/answers.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include <openssl/evp.h>

#include "booking/texts.h"
#include "booking/train_list.h"
#include "util/codepage.h"
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

AnswerVerdict Accepted() { return {AnswerKind::kAccepted, {}}; }
AnswerVerdict NoValidAnswer() { return {AnswerKind::kNoValidAnswer, {}}; }

// Accepted with the success marker; otherwise refused with the reason after
// `reasonMarker`, and no valid answer when there is none.
AnswerVerdict AcceptedOrReason(std::string_view answer, std::string_view successMarker, std::string_view reasonMarker) {
  if (Contains(answer, successMarker)) return Accepted();
  std::string reason = TextBetween(answer, reasonMarker, kQuote);
  if (reason.empty()) return NoValidAnswer();
  return RefusalFor(std::move(reason));
}

// Ten lazy groups; groups 9 and 10 (phone_no, email) are matched but not kept.
constexpr char kPassengerPattern[] =
    R"re(passenger_name":"(.*?)".*?sex_name":"(.*?)".*?passenger_id_type_code":"(.*?)","passenger_id_type_name":")re"
    R"re((.*?)","passenger_id_no":"(.*?)","passenger_type":"(.*?)".*?passenger_type_name":"(.*?)".*?mobile_no":")re"
    R"re((.*?)","phone_no":"(.*?)","email":"(.*?)")re";

}  // namespace

AnswerVerdict RefusalFor(std::string reason) {
  AnswerKind kind = AnswerKind::kRefused;
  if (reason == texts::NotSignedIn()) {
    kind = AnswerKind::kNotSignedIn;
  } else if (Contains(reason, texts::UnpaidOrderPending())) {
    kind = AnswerKind::kUnpaidOrderPending;
  } else if (Contains(reason, texts::ClosedHoursMarker())) {
    kind = AnswerKind::kServiceClosed;
  }
  return {kind, std::move(reason)};
}

std::string ServiceMessage(std::string_view answer) { return TextBetween(answer, kMessagesMarker, kQuote); }

bool AsksToTryLater(std::string_view answer) { return Contains(answer, texts::TryLaterMarker()); }

AnswerVerdict ReadCaptchaCheck(std::string_view answer) {
  if (Contains(answer, "msg\":\"TRUE")) return Accepted();
  if (Contains(answer, "msg\":\"")) return {AnswerKind::kRefused, ServiceMessage(answer)};
  return {AnswerKind::kNoValidAnswer, ServiceMessage(answer)};
}

AnswerVerdict ReadLogin(std::string_view answer) {
  if (Contains(answer, "loginCheck\":\"Y")) return Accepted();
  std::string reason = ServiceMessage(answer);
  if (Contains(answer, "loginCheck\":\"") || !reason.empty()) return {AnswerKind::kRefused, std::move(reason)};
  return NoValidAnswer();
}

bool LooksLikePicture(std::string_view bytes) {
  constexpr std::string_view kJpeg("\xFF\xD8\xFF", 3);
  constexpr std::string_view kPng("\x89PNG\r\n\x1A\n", 8);
  return bytes.starts_with(kJpeg) || bytes.starts_with(kPng);
}

AnswerVerdict ReadCheckUser(std::string_view answer) {
  if (Contains(answer, "flag\":true")) return Accepted();
  // Only a plain "no" means the sign-in is gone; a garbled answer says nothing about it.
  if (Contains(answer, "flag\":false")) return {AnswerKind::kNotSignedIn, {}};
  return NoValidAnswer();
}

namespace {

// The number after result_code, quoted or not; nothing when there is none.
std::optional<int> PassportResultCode(std::string_view answer) {
  constexpr std::string_view kMarker = "result_code\":";
  const int at = FindText(answer, kMarker);
  if (at == kNotFound) return std::nullopt;
  std::size_t pos = static_cast<std::size_t>(at - 1) + kMarker.size();
  if (pos < answer.size() && answer[pos] == '"') ++pos;
  int value = 0;
  std::size_t digits = 0;
  for (; pos < answer.size() && digits < 4 && answer[pos] >= '0' && answer[pos] <= '9'; ++pos, ++digits) {
    value = value * 10 + (answer[pos] - '0');
  }
  if (digits == 0 || digits == 4) return std::nullopt;
  return value;
}

}  // namespace

std::string PassportMessage(std::string_view answer) { return TextBetween(answer, "result_message\":\"", kQuote); }

AnswerVerdict PassportVerdict(bool accepted, std::string_view answer) {
  if (accepted) return Accepted();
  std::string reason = PassportMessage(answer);
  if (reason.empty()) return NoValidAnswer();
  return {AnswerKind::kRefused, std::move(reason)};
}

QrCreated ReadQrCreated(std::string_view answer) {
  std::string uuid = PassportResultCode(answer) == 0 ? TextBetween(answer, "uuid\":\"", kQuote) : std::string();
  if (uuid.empty()) return {PassportVerdict(false, answer), {}, {}};
  return {Accepted(), std::move(uuid), TextBetween(answer, "image\":\"", kQuote)};
}

std::string DecodeQrPicture(std::string_view pictureBase64) {
  // A JSON writer may escape the slashes of the alphabet.
  std::string text;
  text.reserve(pictureBase64.size());
  for (const char c : pictureBase64)
    if (c != '\\') text.push_back(c);
  if (text.empty() || text.size() % 4 != 0) return {};
  std::string bytes(text.size() / 4 * 3, '\0');
  const int length =
      EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                      reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (length < 0) return {};
  // The decoder counts the padding as zero bytes.
  std::size_t padding = 0;
  for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && padding < 2; --i) ++padding;
  bytes.resize(static_cast<std::size_t>(length) - padding);
  return bytes;
}

std::optional<QrCodeState> ReadQrCheck(std::string_view answer) {
  const std::optional<int> code = PassportResultCode(answer);
  if (!code) return std::nullopt;
  switch (*code) {
    case 0:
      return QrCodeState::kWaiting;
    case 1:
      return QrCodeState::kScanned;
    case 2:
      return QrCodeState::kConfirmed;
    case 3:
      return QrCodeState::kExpired;
    case 4:
      return QrCodeState::kRefused;
    case 5:
      return QrCodeState::kUnknown;
    default:
      return std::nullopt;
  }
}

NewAppToken ReadNewAppToken(std::string_view answer) {
  std::string token = PassportResultCode(answer) == 0 ? TextBetween(answer, "newapptk\":\"", kQuote) : std::string();
  if (token.empty()) return {PassportVerdict(false, answer), {}};
  return {Accepted(), std::move(token)};
}

bool AuthClientAccepted(std::string_view answer) { return PassportResultCode(answer) == 0; }

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

AnswerVerdict ReadPassengers(std::string& answer, std::vector<PassengerRecord>& list) {
  if (Contains(answer, kMessagesMarker)) {
    answer = ServiceMessage(answer);
    return RefusalFor(answer);
  }
  if (!Contains(answer, "\"status\":true")) return NoValidAnswer();
  std::vector<PassengerRecord> found = MatchPassengers(answer);
  list.insert(list.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
  return Accepted();
}

namespace {

// Calls visit(item) for every raw text between `left` and `right`, scanning
// on from each `right` found. Both markers are non-empty.
template <typename Visit>
void ForEachRawItem(std::string_view text, std::string_view left, std::string_view right, bool caseSensitive, int start,
                    Visit&& visit) {
  // Folding case changes nothing for markers without letters (the quote
  // markers of the train list), and the exact search is much faster.
  const bool ignoreCase = !caseSensitive && (HasAsciiLetter(left) || HasAsciiLetter(right));
  int pos = start;
  for (;;) {
    const int leftAt = FindText(text, left, pos, ignoreCase);
    if (leftAt == kNotFound) return;
    const int from = leftAt + static_cast<int>(left.size());
    const int rightAt = FindText(text, right, from, ignoreCase);
    if (rightAt == kNotFound) return;
    visit(text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(rightAt - from)));
    pos = rightAt;
  }
}

// Builds a record right inside the vector that receives it.
struct TrainRecordMaker {
  const train_list::TrainPieces& pieces;
  const train_list::StationNames& names;
  operator TrainRecord() const { return MakeTrainRecord(pieces, names); }
};

}  // namespace

int ExtractItemsBetween(std::string_view text, std::string_view left, std::string_view right,
                        std::vector<std::string>& items, bool caseSensitive, int maxLength, std::string_view prefix,
                        std::string_view suffix, bool withLeft, bool withRight, int start) {
  items.clear();
  // An empty marker is "found" without moving on, so the scan would never end.
  if (left.empty() || right.empty()) return 0;
  ForEachRawItem(text, left, right, caseSensitive, start, [&](std::string_view raw) {
    std::string item = TrimSpaces(raw);
    if (!prefix.empty() || !suffix.empty()) item = ConcatTexts(prefix, item, suffix);
    if (item.empty()) return;
    if (withLeft) item.insert(0, left);
    if (withRight) item.append(right);
    if (maxLength == 0 || item.size() < static_cast<std::size_t>(maxLength)) items.push_back(std::move(item));
  });
  return static_cast<int>(items.size());
}

bool ReadTrainText(std::string_view trainText, const StationDirectory& stations, TrainRecord& record) {
  train_list::TrainPieces pieces;
  if (train_list::SplitTrainText(trainText, pieces) < train_list::kTrainPieces) return false;
  const train_list::StationNames names(stations);
  record = MakeTrainRecord(pieces, names);
  return true;
}

AnswerVerdict ReadLeftTickets(std::string& answer, const StationDirectory& stations,
                              std::vector<TrainRecord>& records) {
  if (Contains(answer, kMessagesMarker)) {
    answer = ServiceMessage(answer);
    return RefusalFor(answer);
  }
  // Only an answer that holds the whole result list counts; an empty list is fine.
  constexpr std::string_view kListStart = "result\":[";
  const int listAt = FindText(answer, kListStart);
  if (listAt == kNotFound) return NoValidAnswer();
  const int from = listAt + static_cast<int>(kListStart.size());
  const int to = FindText(answer, "]}", from);
  if (to == kNotFound) return NoValidAnswer();
  answer.erase(static_cast<std::size_t>(to - 1));
  answer.erase(0, static_cast<std::size_t>(from - 1));

  // Records are made as the trains are found. A worker reads answers of the
  // same size pass after pass, so room for as many trains as its last answer
  // had is made first, and the records are seldom moved as the vector grows.
  thread_local std::size_t lastTrainCount = 0;
  const std::size_t needed = records.size() + lastTrainCount;
  if (needed > records.capacity()) records.reserve(needed);
  const std::size_t before = records.size();
  const train_list::StationNames names(stations);
  train_list::ForEachTrainText(answer, [&](const train_list::TrainPieces& pieces) {
    records.emplace_back(TrainRecordMaker{pieces, names});
  });
  lastTrainCount = records.size() - before;
  return Accepted();
}

bool ReadWantedLeftTickets(std::string_view utf8Answer, std::span<const std::string> codes,
                           const StationDirectory& stations, std::vector<TrainRecord>& records,
                           std::string_view& list) {
  // In UTF-8 text every ASCII byte is a character, so the plain searches
  // below find the markers where the character-wise searches of
  // ReadLeftTickets find them in the converted text.
  if (std::memchr(utf8Answer.data(), '\0', utf8Answer.size()) != nullptr) return false;
  if (utf8Answer.find(kMessagesMarker) != std::string_view::npos) return false;
  constexpr std::string_view kListStart = "result\":[";
  const std::size_t listAt = utf8Answer.find(kListStart);
  if (listAt == std::string_view::npos) return false;
  const std::size_t from = listAt + kListStart.size();
  const std::size_t to = utf8Answer.find("]}", from);
  if (to == std::string_view::npos || !GbkFromUtf8GoesByCharacter(utf8Answer)) return false;
  list = utf8Answer.substr(from, to - from);

  const train_list::StationNames names(stations);
  train_list::ForEachWantedTrainText(list, codes, [&](const train_list::TrainPieces& pieces) {
    records.emplace_back(TrainRecordMaker{pieces, names});
  });
  return true;
}

AnswerVerdict ReadSubmitOrderRequest(std::string_view answer) {
  return AcceptedOrReason(answer, "status\":true", kMessagesMarker);
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

AnswerVerdict ReadInitDc(std::string_view page, OrderPageValues& values) {
  values.repeatSubmitToken = TextBetween(page, "globalRepeatSubmitToken = '", "';");
  values.leftTicketStr = TextBetween(page, "leftTicketStr':'", "','");
  values.trainDateMs = ReadTrainDateMs(page);
  values.keyCheckIsChange = TextBetween(page, "'key_check_isChange':'", "','");
  return values.leftTicketStr.empty() ? NoValidAnswer() : Accepted();
}

AnswerVerdict ReadCheckOrderInfo(std::string_view answer) {
  return AcceptedOrReason(answer, "submitStatus\":true", "errMsg\":\"");
}

AnswerVerdict ReadGetQueueCount(std::string_view answer) {
  if (!Contains(answer, "true")) return NoValidAnswer();
  if (TextBetween(answer, "op_2\":\"", kQuote) == "true") return {AnswerKind::kQueueLongerThanStock, {}};
  if (TextBetween(answer, "ticket\":\"", ",") == "0") return {AnswerKind::kNoTicketsCounted, {}};
  return Accepted();
}

AnswerVerdict ReadConfirmSingleForQueue(std::string_view answer) {
  return AcceptedOrReason(answer, "submitStatus\":true", "errMsg\":\"");
}

std::string ReadOrderWaitTime(std::string_view answer) { return TextBetween(answer, "orderId\":\"", kQuote); }

AnswerVerdict ReadResultOrderForDcQueue(std::string_view answer) {
  return AcceptedOrReason(answer, "submitStatus\":true", kMessagesMarker);
}

}  // namespace quillet
