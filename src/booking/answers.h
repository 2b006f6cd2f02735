#pragma once
// How the client reads the service's answers: pure functions over the
// decoded answer text (program text), so that each can be checked and
// fuzzed without a network. Answers are never parsed as JSON: success is a
// plain search for a marker, values are cut out between two markers. A
// reader gives a verdict: what the answer says as a kind the program acts
// on, and the service's own words as data; the words a person reads are
// made from the kind elsewhere.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "booking/answer_verdict.h"
#include "booking/records.h"
#include "stations/station_directory.h"

namespace quillet {

// A refusal with the service's words, recognising the refusals the program
// acts on (a lapsed sign-in, an unpaid order of the account).
AnswerVerdict RefusalFor(std::string reason);

// The service's first message (between messages":[" and the next quote), or empty.
std::string ServiceMessage(std::string_view answer);

// An answer that asks to come again later (the service is busy): no
// refusal of what was asked.
bool AsksToTryLater(std::string_view answer);

// Login and session.
// The captcha check: accepted, refused (its "msg" field says no), or no
// valid answer without that field.
AnswerVerdict ReadCaptchaCheck(std::string_view answer);
// The login step: accepted (loginCheck "Y"), refused by its loginCheck
// field or a message (the reason), or no valid answer.
AnswerVerdict ReadLogin(std::string_view answer);
// A JPEG or PNG picture, by its first bytes.
bool LooksLikePicture(std::string_view bytes);
// The session check: accepted while signed in, kNotSignedIn for a plain
// "no" ("flag":false), no valid answer for anything else.
AnswerVerdict ReadCheckUser(std::string_view answer);

// QR sign-in. The passport service answers flat objects with a result_code
// (a number, quoted or not) and a result_message.
enum class QrCodeState {
  kWaiting,    // nobody has scanned it yet
  kScanned,    // scanned; the phone has not answered yet
  kConfirmed,  // confirmed on the phone: the passport token is set
  kExpired,    // too old; a new code is needed
  kRefused,    // the sign-in was refused on the phone
  kUnknown,    // the service does not know the code
};
// The passport's message (result_message), or empty.
std::string PassportMessage(std::string_view answer);
// A passport answer that `accepted` (as read by the readers below), else
// refused with its message, else no valid answer.
AnswerVerdict PassportVerdict(bool accepted, std::string_view answer);
// A made code: accepted with its uuid and picture (base64, as sent); else
// refused with the passport's message, or no valid answer.
struct QrCreated {
  AnswerVerdict verdict;
  std::string uuid;
  std::string pictureBase64;
};
QrCreated ReadQrCreated(std::string_view answer);
// The picture's bytes; empty when the text is not base64.
std::string DecodeQrPicture(std::string_view pictureBase64);
// The state a check answer tells; nothing for an answer that tells none.
std::optional<QrCodeState> ReadQrCheck(std::string_view answer);
// The app token the passport token was exchanged for: accepted with the
// token; else refused with the passport's message, or no valid answer.
struct NewAppToken {
  AnswerVerdict verdict;
  std::string token;
};
NewAppToken ReadNewAppToken(std::string_view answer);
// True when the session accepted the app token.
bool AuthClientAccepted(std::string_view answer);

// The page token of the order-form page.
std::string ReadPageToken(std::string_view page);

// The passenger list answer. On a refusal the answer is cut down to the
// service's message, which is the reason; on a list the passengers are
// appended to `list` and it is accepted; anything else (empty, cut,
// foreign) is no valid answer and leaves `list` alone.
AnswerVerdict ReadPassengers(std::string& answer, std::vector<PassengerRecord>& list);
// The passenger pattern over one text; the matches in order.
std::vector<PassengerRecord> MatchPassengers(const std::string& text);

// The left-ticket answer. On a refusal the answer is cut down to the
// message (the reason); on a result list it is cut down to the list, its
// trains are appended to `records` and it is accepted; anything else is no
// valid answer and leaves `records` alone.
AnswerVerdict ReadLeftTickets(std::string& answer, const StationDirectory& stations, std::vector<TrainRecord>& records);
// The left-ticket answer as the service sent it (UTF-8), read for the trains
// whose station train code is one of `codes` (program text): their records
// are appended to `records` and `list` is set to the result list, still in
// UTF-8. Only those trains are converted and made into records. False, with
// nothing appended, unless the answer is a result list that converts one
// character at a time without a zero byte; ReadLeftTickets on the converted
// answer reads it then. When true, ReadLeftTickets on the converted answer
// would accept it, cut the answer down to the converted `list`, and
// append these records among the others, in the same order.
bool ReadWantedLeftTickets(std::string_view utf8Answer, std::span<const std::string> codes,
                           const StationDirectory& stations, std::vector<TrainRecord>& records, std::string_view& list);
// One train text; false (and `record` untouched) when it has fewer than 33 pieces.
bool ReadTrainText(std::string_view trainText, const StationDirectory& stations, TrainRecord& record);

// Every text between `left` and `right`, scanning on from each `right`
// found; blanks around an item are trimmed and empty items dropped.
int ExtractItemsBetween(std::string_view text, std::string_view left, std::string_view right,
                        std::vector<std::string>& items, bool caseSensitive = false, int maxLength = 0,
                        std::string_view prefix = {}, std::string_view suffix = {}, bool withLeft = false,
                        bool withRight = false, int start = 0);

// The order chain. An answer without its success marker is refused when it
// gives a reason, else no valid answer.
AnswerVerdict ReadSubmitOrderRequest(std::string_view answer);

struct OrderPageValues {
  std::string repeatSubmitToken;
  std::string leftTicketStr;
  std::string trainDateMs;
  std::string keyCheckIsChange;
};
// Accepted when the page holds the left-ticket text; the values are read either way.
AnswerVerdict ReadInitDc(std::string_view page, OrderPageValues& values);
// The train date's milliseconds: the number after 'time': inside the page's
// 'train_date':{...} object; empty when the page has none.
std::string ReadTrainDateMs(std::string_view page);

AnswerVerdict ReadCheckOrderInfo(std::string_view answer);
// No valid answer without "true" anywhere; otherwise accepted unless more
// people queue than tickets are left or no ticket is counted.
AnswerVerdict ReadGetQueueCount(std::string_view answer);
AnswerVerdict ReadConfirmSingleForQueue(std::string_view answer);
// The order id, or empty while the service has none (also for a null id).
std::string ReadOrderWaitTime(std::string_view answer);
AnswerVerdict ReadResultOrderForDcQueue(std::string_view answer);

}  // namespace quillet
