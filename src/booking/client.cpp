#include "booking/client.h"

#include <algorithm>

#include "booking/answers.h"
#include "booking/date_text.h"
#include "booking/service_paths.h"
#include "booking/texts.h"
#include "net/encoding.h"
#include "net/http.h"
#include "util/text.h"
#include "util/wait.h"

namespace quillet {

namespace texts = booking_texts;

namespace {

const std::string kPost = "POST";
const std::string kGet;  // a GET leaves the method to its default
const std::string kNoBody;
const std::string kJsonAtt = "_json_att=";
const std::string kTokenPiece = "&_json_att=&REPEAT_SUBMIT_TOKEN=";

namespace paths = service_paths;

// Judges an operation from its exchange and its reader's verdict; the
// message is the text the window has always shown for it.
ServiceResult Judged(ExchangeOutcome transport, const std::stop_token& stop, AnswerVerdict verdict,
                     std::string message) {
  ServiceResult result;
  result.transport = transport;
  if (stop.stop_requested() || transport == ExchangeOutcome::kStopped) {
    result.kind = ServiceResultKind::kStopped;
  } else if (transport != ExchangeOutcome::kOk) {
    result.kind = ServiceResultKind::kTransportFailure;
  } else if (verdict.Accepted()) {
    result.kind = ServiceResultKind::kDone;
  } else {
    result.kind =
        verdict.kind == AnswerKind::kNoValidAnswer ? ServiceResultKind::kNoValidAnswer : ServiceResultKind::kRefused;
  }
  if (transport == ExchangeOutcome::kOk) result.answer = std::move(verdict);
  result.message = std::move(message);
  return result;
}

// The text of a verdict: success, the service's reason, the program's text
// of a refusal it words itself, or `noValidAnswer`.
std::string MessageOf(const AnswerVerdict& verdict, const std::string& noValidAnswer) {
  switch (verdict.kind) {
    case AnswerKind::kAccepted:
      return texts::Success();
    case AnswerKind::kQueueLongerThanStock:
      return texts::QueueLongerThanStock();
    case AnswerKind::kNoTicketsCounted:
      return texts::UnknownError();
    case AnswerKind::kNoValidAnswer:
      return noValidAnswer;
    case AnswerKind::kRefused:
    case AnswerKind::kNotSignedIn:
    case AnswerKind::kUnpaidOrderPending:
    case AnswerKind::kServiceClosed:
      break;
  }
  return verdict.reason;
}

// A reader that gives success or the reason after a marker: the message is
// the reason, empty for an answer without one.
ServiceResult JudgedWithReason(ExchangeOutcome transport, const std::stop_token& stop, AnswerVerdict verdict) {
  std::string message = MessageOf(verdict, {});
  return Judged(transport, stop, std::move(verdict), std::move(message));
}

template <typename Result>
Result WithValues(ServiceResult judged) {
  Result result;
  static_cast<ServiceResult&>(result) = std::move(judged);
  return result;
}

}  // namespace

BookingClient::BookingClient(ServiceSettings service, CookieJar& cookieJar,
                             std::shared_ptr<const StationDirectory> stations)
    : service_(std::move(service)),
      cookieJar_(cookieJar),
      stations_(stations ? std::move(stations) : BuiltInStations()),
      headers_(service_.address) {}

BookingClient::BookingClient(std::string serviceBaseAddress, CookieJar& cookieJar, std::string caFile)
    : BookingClient(ServiceSettings{std::move(serviceBaseAddress), std::move(caFile), {}}, cookieJar,
                    BuiltInStations()) {}

void BookingClient::SetSourceAddress(std::string address) {
  std::lock_guard lock(sourceMutex_);
  sourceAddress_ = std::move(address);
}

std::string BookingClient::SourceAddress() const {
  std::lock_guard lock(sourceMutex_);
  return sourceAddress_;
}

HttpExchangeResult BookingClient::Exchange(const std::string& path, const std::string& method, const std::string& body,
                                           const std::string& headerBlock, const std::stop_token& stop,
                                           bool freshConnection) const {
  if (stop.stop_requested()) return {ExchangeOutcome::kStopped, 0, {}, {}};
  ExchangeOptions options;
  options.stop = stop;
  options.extraCaFile = service_.caFile;
  options.reuseConnections = reuseConnections_ && !freshConnection;
  options.deadline = exchangeDeadline_;
  options.sourceAddress = SourceAddress();
  HttpRequest request;
  request.url = service_.address + path;
  request.proxy = service_.proxy;
  request.method = method;
  request.bodyText = body;
  request.headerBlock = headerBlock;
  request.options = std::move(options);
  return SendHttpRequest(request, cookieJar_);
}

BookingClient::Exchanged BookingClient::ExchangeText(const std::string& path, const std::string& method,
                                                     const std::string& body, const std::string& headerBlock,
                                                     const std::stop_token& stop, bool freshConnection) const {
  HttpExchangeResult answer = Exchange(path, method, body, headerBlock, stop, freshConnection);
  return {answer.outcome, Utf8BytesToText(answer.body)};
}

void BookingClient::SetLastResponse(std::string text) {
  std::lock_guard lock(stateMutex_);
  lastResponse_ = std::move(text);
  lastResponseIsUtf8_ = false;
}

void BookingClient::SetLastResponseUtf8(std::string_view utf8) {
  std::lock_guard lock(stateMutex_);
  lastResponse_.assign(utf8);  // keeps its room: grab passes set answers of the same size again and again
  lastResponseIsUtf8_ = true;
}

std::string BookingClient::LastResponse() const {
  std::lock_guard lock(stateMutex_);
  return lastResponseIsUtf8_ ? Utf8BytesToText(lastResponse_) : lastResponse_;
}

std::string BookingClient::RepeatSubmitToken() const {
  std::lock_guard lock(stateMutex_);
  return repeatSubmitToken_;
}

template <typename Judge>
BookingClient::Attempt BookingClient::ExchangeWithTries(const std::string& path, const std::string& method,
                                                        const std::string& body, const std::string& headerBlock,
                                                        const std::stop_token& stop, bool decode, Judge&& judge) const {
  Attempt attempt;
  for (int tried = 1;; ++tried) {
    attempt.answer = Exchange(path, method, body, headerBlock, stop);
    attempt.text = decode && attempt.answer.Ok() ? Utf8BytesToText(attempt.answer.body) : std::string();
    attempt.verdict = judge(attempt);
    if (attempt.verdict != Verdict::kTryAgain || tried >= kSignInTries || stop.stop_requested()) return attempt;
    // An answer that took the whole deadline is not waited for again: the
    // person hears of it now instead of after several deadlines.
    if (attempt.answer.outcome == ExchangeOutcome::kDeadlinePassed) return attempt;
    if (!WaitUnlessStopped(stop, retryPause_.load())) return attempt;
  }
}

std::string_view BookingClient::ServicePathOf(std::string_view url) const {
  if (!url.starts_with(service_.address)) return {};
  url.remove_prefix(service_.address.size());
  return url.substr(0, url.find_first_of("?#"));
}

namespace {

// What a sign-in step came to after its tries: accepted, refused with
// `refusal` as its kind, or its last failure as it was.
ServiceResult SignInJudged(ExchangeOutcome transport, bool accepted, bool refused, bool askedToTryLater,
                           const std::stop_token& stop, ServiceResultKind refusal, std::string message) {
  ServiceResult result;
  result.transport = transport;
  if (stop.stop_requested() || transport == ExchangeOutcome::kStopped) {
    result.kind = ServiceResultKind::kStopped;
  } else if (accepted) {
    result.kind = ServiceResultKind::kDone;
  } else if (refused) {
    result.kind = refusal;
  } else if (transport != ExchangeOutcome::kOk) {
    result.kind = ServiceResultKind::kTransportFailure;
  } else {
    // Still busy after every try is the service's own word; anything else is
    // an answer the step does not know.
    result.kind = askedToTryLater ? ServiceResultKind::kRefused : ServiceResultKind::kNoValidAnswer;
  }
  result.message = std::move(message);
  return result;
}

}  // namespace

CaptchaResult BookingClient::FetchCaptcha(std::stop_token stop) {
  CaptchaResult result;
  // The login page only gives the session its first cookies: any answer will do.
  const Attempt page =
      ExchangeWithTries(paths::kLoginPage, kGet, kNoBody, headers_.page, stop, false,
                        [](const Attempt& a) { return a.answer.Ok() ? Verdict::kAccepted : Verdict::kTryAgain; });
  if (page.verdict != Verdict::kAccepted) {
    static_cast<ServiceResult&>(result) = SignInJudged(page.answer.outcome, false, false, false, stop,
                                                       ServiceResultKind::kRefused, texts::NoValidAnswer());
    result.decidedBy = {SignInStep::kLoginPage, page.answer.status, {}};
    return result;
  }
  Attempt picture =
      ExchangeWithTries(paths::kCaptchaPicture, kGet, kNoBody, headers_.captcha, stop, false, [](const Attempt& a) {
        return a.answer.Ok() && LooksLikePicture(a.answer.body) ? Verdict::kAccepted : Verdict::kTryAgain;
      });
  const bool accepted = picture.verdict == Verdict::kAccepted;
  const bool busy = !accepted && picture.answer.Ok() && AsksToTryLater(Utf8BytesToText(picture.answer.body));
  static_cast<ServiceResult&>(result) =
      SignInJudged(picture.answer.outcome, accepted, false, busy, stop, ServiceResultKind::kRefused,
                   accepted ? texts::Success() : texts::NoValidAnswer());
  result.decidedBy = {SignInStep::kCaptchaPicture, picture.answer.status,
                      accepted ? std::string() : ServiceMessage(Utf8BytesToText(picture.answer.body))};
  if (result.Done()) result.picture = std::move(picture.answer.body);
  return result;
}

LoginResult BookingClient::Login(const std::string& userName, const std::string& password,
                                 const std::string& captchaAnswer, std::stop_token stop) {
  LoginResult result;
  const auto judgeCaptcha = [](const Attempt& a) {
    const AnswerVerdict verdict = ReadCaptchaCheck(a.text);
    if (verdict.Accepted()) return Verdict::kAccepted;
    if (verdict.Refusal() && !AsksToTryLater(a.text)) return Verdict::kRefused;
    return Verdict::kTryAgain;
  };
  Attempt check =
      ExchangeWithTries(paths::kCaptchaCheck, kPost,
                        ConcatTexts(std::string_view("randCode="), captchaAnswer, std::string_view("&rand=sjrand")),
                        headers_.xhr, stop, true, judgeCaptcha);
  result.decidedBy = {SignInStep::kCaptchaCheck, check.answer.status, ServiceMessage(check.text)};
  const Verdict captcha = check.verdict;
  const bool captchaBusy = AsksToTryLater(check.text);
  SetLastResponse(std::move(check.text));
  if (captcha != Verdict::kAccepted) {
    // Whatever went wrong, the window shows what it shows for a wrong answer.
    static_cast<ServiceResult&>(result) =
        SignInJudged(check.answer.outcome, false, captcha == Verdict::kRefused, captchaBusy, stop,
                     ServiceResultKind::kCaptchaRefused, texts::CaptchaWrong());
    result.captchaSpent = true;
    return result;
  }

  const auto judgeLogin = [](const Attempt& a) {
    const AnswerVerdict verdict = ReadLogin(a.text);
    if (verdict.Accepted()) return Verdict::kAccepted;
    if (verdict.Refusal() && !AsksToTryLater(a.text)) return Verdict::kRefused;
    return Verdict::kTryAgain;
  };
  Attempt login = ExchangeWithTries(paths::kLogin, kPost, LoginBody(userName, password, captchaAnswer), headers_.xhr,
                                    stop, true, judgeLogin);
  result.decidedBy = {SignInStep::kLogin, login.answer.status, ServiceMessage(login.text)};
  if (login.verdict != Verdict::kAccepted) {
    std::string reason = ServiceMessage(login.text);
    const bool busy = AsksToTryLater(login.text);
    SetLastResponse(std::move(login.text));
    // The login step may refuse the captcha in the check's own words.
    result.captchaSpent = reason == texts::CaptchaWrong();
    static_cast<ServiceResult&>(result) = SignInJudged(login.answer.outcome, false, login.verdict == Verdict::kRefused,
                                                       busy, stop, ServiceResultKind::kRefused, std::move(reason));
    return result;
  }
  SetLastResponse(std::move(login.text));

  // The service confirms a sign-in by sending it on to the user's pages, and
  // refuses it by sending it back to its login page; an answer that stays
  // where it was sent is none of the two. Once sent on, the sign-in holds
  // even if the page it was sent to did not come.
  const auto judgeConfirm = [this](const Attempt& a) {
    const std::string_view path = ServicePathOf(a.answer.url);
    if (path == paths::kLoginPage) return Verdict::kRefused;
    if (path == paths::kLoginConfirm) return Verdict::kTryAgain;
    return a.answer.url.empty() ? Verdict::kTryAgain : Verdict::kAccepted;
  };
  Attempt confirm = ExchangeWithTries(paths::kLoginConfirm, kPost, kJsonAtt, headers_.xhr, stop, true, judgeConfirm);
  result.decidedBy = {SignInStep::kLoginConfirm, confirm.answer.status, ServiceMessage(confirm.text)};
  const bool confirmed = confirm.verdict == Verdict::kAccepted;
  const bool busy = AsksToTryLater(confirm.text);
  SetLastResponse(std::move(confirm.text));
  static_cast<ServiceResult&>(result) = SignInJudged(
      confirmed ? ExchangeOutcome::kOk : confirm.answer.outcome, confirmed, confirm.verdict == Verdict::kRefused, busy,
      stop, ServiceResultKind::kRefused, confirmed ? texts::Success() : texts::SignInNotConfirmed());
  return result;
}

QrCodeResult BookingClient::CreateQrCode(std::stop_token stop) {
  Exchange(paths::kLoginPage, kGet, kNoBody, headers_.page, stop);
  const Exchanged answer = ExchangeText(paths::kQrCreate, kPost, "appid=otn", headers_.xhr, stop);
  QrCreated made = ReadQrCreated(answer.text);
  auto result = WithValues<QrCodeResult>(JudgedWithReason(answer.outcome, stop, std::move(made.verdict)));
  if (result.Done()) {
    result.content = QrSignInContent(made.uuid);
    result.uuid = std::move(made.uuid);
    result.picture = DecodeQrPicture(made.pictureBase64);
  }
  return result;
}

QrStateResult BookingClient::CheckQrCode(const std::string& uuid, std::stop_token stop) {
  const Exchanged answer = ExchangeText(
      paths::kQrCheck, kPost, ConcatTexts(std::string_view("uuid="), UrlEncode(uuid), std::string_view("&appid=otn")),
      headers_.xhr, stop);
  const std::optional<QrCodeState> state = ReadQrCheck(answer.text);
  AnswerVerdict verdict{state ? AnswerKind::kAccepted : AnswerKind::kNoValidAnswer, {}};
  std::string message = MessageOf(verdict, texts::NoValidAnswer());
  auto result = WithValues<QrStateResult>(Judged(answer.outcome, stop, std::move(verdict), std::move(message)));
  if (result.Done()) {
    result.state = *state;
    result.message = PassportMessage(answer.text);
  }
  return result;
}

ServiceResult BookingClient::FinishQrSignIn(std::stop_token stop) {
  Exchanged answer = ExchangeText(paths::kPassportToken, kPost, "appid=otn", headers_.xhr, stop);
  NewAppToken appToken = ReadNewAppToken(answer.text);
  if (!appToken.verdict.Accepted()) return JudgedWithReason(answer.outcome, stop, std::move(appToken.verdict));
  answer = ExchangeText(paths::kAuthClient, kPost, ConcatTexts(std::string_view("tk="), UrlEncode(appToken.token)),
                        headers_.xhr, stop);
  const bool accepted = AuthClientAccepted(answer.text);
  SetLastResponse(answer.text);
  return JudgedWithReason(answer.outcome, stop, PassportVerdict(accepted, answer.text));
}

ServiceResult BookingClient::CheckUser(std::stop_token stop) {
  const Exchanged answer = ExchangeText(paths::kCheckUser, kPost, kJsonAtt, headers_.xhr, stop);
  AnswerVerdict verdict = ReadCheckUser(answer.text);
  std::string message = verdict.Accepted() ? texts::Success() : texts::CheckUserFailed();
  return Judged(answer.outcome, stop, std::move(verdict), std::move(message));
}

PassengersResult BookingClient::LoadPassengers(std::stop_token stop) {
  PassengersResult result;
  // The order page holds the token; without a sign-in the service sends the
  // page request back to its login page, and the list then says why.
  const auto judgePage = [this](const Attempt& a) {
    if (!ReadPageToken(a.text).empty()) return Verdict::kAccepted;
    if (a.answer.Ok() && ServicePathOf(a.answer.url) == paths::kLoginPage) return Verdict::kRefused;
    return Verdict::kTryAgain;
  };
  Attempt page = ExchangeWithTries(paths::kOrderPage, kPost, kJsonAtt, headers_.xhr, stop, true, judgePage);
  const std::string token = ReadPageToken(page.text);
  {
    std::lock_guard lock(stateMutex_);
    lastResponse_ = page.text;
    lastResponseIsUtf8_ = false;
    repeatSubmitToken_ = token;
  }
  if (page.verdict == Verdict::kTryAgain) {
    static_cast<ServiceResult&>(result) = SignInJudged(page.answer.outcome, false, false, AsksToTryLater(page.text),
                                                       stop, ServiceResultKind::kRefused, texts::NoValidAnswer());
    result.decidedBy = {SignInStep::kOrderPage, page.answer.status, ServiceMessage(page.text)};
    return result;
  }

  const auto judgeList = [](const Attempt& a) {
    if (!ServiceMessage(a.text).empty()) return AsksToTryLater(a.text) ? Verdict::kTryAgain : Verdict::kRefused;
    std::string text = a.text;
    std::vector<PassengerRecord> ignored;
    return ReadPassengers(text, ignored).Accepted() ? Verdict::kAccepted : Verdict::kTryAgain;
  };
  Attempt answer = ExchangeWithTries(paths::kPassengers, kPost,
                                     ConcatTexts(std::string_view("_json_att=&REPEAT_SUBMIT_TOKEN="), token),
                                     headers_.passenger, stop, true, judgeList);
  result.decidedBy = {SignInStep::kPassengerList, answer.answer.status, ServiceMessage(answer.text)};
  std::vector<PassengerRecord> passengers;
  const bool busy = AsksToTryLater(answer.text);
  AnswerVerdict verdict = ReadPassengers(answer.text, passengers);
  std::string message = MessageOf(verdict, texts::NoValidAnswer());
  SetLastResponse(std::move(answer.text));
  static_cast<ServiceResult&>(result) =
      SignInJudged(answer.answer.outcome, answer.verdict == Verdict::kAccepted, answer.verdict == Verdict::kRefused,
                   busy, stop, ServiceResultKind::kRefused, std::move(message));
  if (answer.answer.Ok()) result.answer = std::move(verdict);
  if (result.Done()) result.passengers = std::move(passengers);
  return result;
}

std::string BookingClient::QueryPath() const {
  std::lock_guard lock(stateMutex_);
  return queryPath_;
}

bool BookingClient::MoveQueryPath(const std::string& from, const std::string& to) {
  std::lock_guard lock(stateMutex_);
  if (queryPath_ != from || to == from) return false;
  queryPath_ = to;
  return true;
}

namespace {

// The path of an answer's URL on whatever host it came from.
std::string_view PathOfUrl(std::string_view url) {
  const std::size_t scheme = url.find("://");
  const std::size_t slash = url.find('/', scheme == std::string_view::npos ? 0 : scheme + 3);
  if (slash == std::string_view::npos) return "/";
  url.remove_prefix(slash);
  return url.substr(0, url.find_first_of("?#"));
}

const std::string& QueryPathRefusal(QueryPathProblem problem) {
  switch (problem) {
    case QueryPathProblem::kEmpty:
      return texts::QueryPathEmpty();
    case QueryPathProblem::kTooLong:
      return texts::QueryPathTooLong();
    case QueryPathProblem::kBadCharacters:
      return texts::QueryPathBadCharacters();
    case QueryPathProblem::kNotUnderService:
      return texts::QueryPathNotUnderService();
    case QueryPathProblem::kNone:
      break;
  }
  return texts::QueryPathMovesAgain();
}

// A query follows this many redirect answers at most.
constexpr int kMaxQueryPathFollows = 2;

}  // namespace

TrainsResult BookingClient::QueryLeftTickets(bool studentPurpose, const std::string& trainDate,
                                             const std::string& fromStation, const std::string& toStation,
                                             std::stop_token stop, std::span<const std::string> onlyTrains) {
  std::string moved;
  for (int follows = 0;; ++follows) {
    const std::string queryPath = QueryPath();
    TrainsResult result = QueryLeftTicketsAt(queryPath, studentPurpose, trainDate, fromStation, toStation, stop,
                                             onlyTrains, follows < kMaxQueryPathFollows);
    if (result.movedQueryPath.empty()) {
      result.movedQueryPath = std::move(moved);
      return result;
    }
    // Moved: sent again at once, to wherever the query lies now.
    if (MoveQueryPath(queryPath, result.movedQueryPath)) moved = result.movedQueryPath;
  }
}

TrainsResult BookingClient::QueryLeftTicketsAt(const std::string& queryPath, bool studentPurpose,
                                               const std::string& trainDate, const std::string& fromStation,
                                               const std::string& toStation, const std::stop_token& stop,
                                               std::span<const std::string> onlyTrains, bool mayFollow) {
  const HttpExchangeResult answer =
      Exchange(LeftTicketQueryPath(trainDate, StationQueryValue(fromStation), StationQueryValue(toStation),
                                   studentPurpose, queryPath),
               kGet, kNoBody, headers_.query, stop);
  if (answer.Ok()) {
    const QueryPathMove move = ReadQueryPathMove(answer.body);
    if (move.verdict == QueryPathVerdict::kMoved && mayFollow) {
      TrainsResult result;
      result.movedQueryPath = move.path;
      return result;
    }
    if (move.verdict != QueryPathVerdict::kNotMoved) {
      SetLastResponseUtf8(answer.body);
      const std::string& reason = QueryPathRefusal(move.problem);
      return WithValues<TrainsResult>(Judged(answer.outcome, stop, {AnswerKind::kRefused, reason}, reason));
    }
  }
  const QueryAnswerSign sign = answer.Ok()
                                   ? ReadQueryAnswerSign(answer.status, queryPath, PathOfUrl(answer.url), answer.body)
                                   : QueryAnswerSign::kNormal;
  std::vector<TrainRecord> trains;
  std::string_view utf8List;
  if (!onlyTrains.empty() && ReadWantedLeftTickets(answer.body, onlyTrains, *stations_, trains, utf8List)) {
    SetLastResponseUtf8(utf8List);
    auto result = WithValues<TrainsResult>(Judged(answer.outcome, stop, {AnswerKind::kAccepted, {}}, texts::Success()));
    if (result.Done()) result.trains = std::move(trains);
    result.sign = sign;
    return result;
  }

  std::string text = Utf8BytesToText(answer.body);
  AnswerVerdict verdict = ReadLeftTickets(text, *stations_, trains);
  std::string message = MessageOf(verdict, texts::NoValidAnswer());
  SetLastResponse(std::move(text));
  if (!onlyTrains.empty()) {
    std::erase_if(trains, [onlyTrains](const TrainRecord& train) {
      return std::find(onlyTrains.begin(), onlyTrains.end(), train.stationTrainCode) == onlyTrains.end();
    });
  }
  auto result = WithValues<TrainsResult>(Judged(answer.outcome, stop, std::move(verdict), std::move(message)));
  if (result.Done()) result.trains = std::move(trains);
  result.sign = sign;
  return result;
}

ServiceResult BookingClient::SubmitOrderRequest(const std::string& secretStr, const std::string& trainDate,
                                                const std::string& backTrainDate, const std::string& purposeCodes,
                                                const std::string& fromStationName, const std::string& toStationName,
                                                std::stop_token stop) {
  const std::string body = ConcatTexts(
      std::string_view("secretStr="), secretStr, std::string_view("&train_date="), trainDate,
      std::string_view("&back_train_date="), backTrainDate, std::string_view("&tour_flag=dc&purpose_codes="),
      purposeCodes, std::string_view("&query_from_station_name="), fromStationName,
      std::string_view("&query_to_station_name="), toStationName, std::string_view("&undefined"));
  const Exchanged answer = ExchangeText(paths::kSubmitOrderRequest, kPost, body, headers_.xhr, stop);
  return JudgedWithReason(answer.outcome, stop, ReadSubmitOrderRequest(answer.text));
}

OrderPageResult BookingClient::InitDc(std::stop_token stop) {
  const Exchanged page = ExchangeText(paths::kOrderPage, kPost, kJsonAtt, headers_.xhr, stop);
  OrderPageValues values;
  AnswerVerdict verdict = ReadInitDc(page.text, values);
  // A page without the left-ticket text is not the order page.
  std::string message = MessageOf(verdict, texts::Failed());
  auto result = WithValues<OrderPageResult>(Judged(page.outcome, stop, std::move(verdict), std::move(message)));
  result.values = std::move(values);
  return result;
}

OrderInfoResult BookingClient::CheckOrderInfo(const std::string& seatType, const std::string& ticketType,
                                              const OrderPassenger& passenger, const std::string& repeatSubmitToken,
                                              std::stop_token stop) {
  return CheckOrderInfo(seatType, ticketType, std::vector<OrderPassenger>{passenger}, repeatSubmitToken, stop);
}

OrderInfoResult BookingClient::CheckOrderInfo(const std::string& seatType, const std::string& ticketType,
                                              const std::vector<OrderPassenger>& passengers,
                                              const std::string& repeatSubmitToken, std::stop_token stop) {
  // Each old-passenger text already ends in "_"; the ticket texts get one between them.
  std::string passengerTicketStr;
  std::string oldPassengerStr;
  for (const OrderPassenger& passenger : passengers) {
    if (!passengerTicketStr.empty()) passengerTicketStr += '_';
    passengerTicketStr +=
        PassengerTicketText(seatType, passenger.ticketType.empty() ? ticketType : passenger.ticketType, passenger.name,
                            passenger.idType, passenger.idNo);
    oldPassengerStr += OldPassengerText(passenger.name, passenger.idType, passenger.idNo, passenger.passengerType);
  }
  const std::string body = ConcatTexts(
      std::string_view("cancel_flag=2&bed_level_order_num=000000000000000000000000000000&passengerTicketStr="),
      passengerTicketStr, std::string_view("&oldPassengerStr="), oldPassengerStr,
      std::string_view("&tour_flag=dc&randCode="), kTokenPiece, repeatSubmitToken);
  const Exchanged answer = ExchangeText(paths::kCheckOrderInfo, kPost, body, headers_.xhr, stop);
  auto result = WithValues<OrderInfoResult>(JudgedWithReason(answer.outcome, stop, ReadCheckOrderInfo(answer.text)));
  result.passengerTicketStr = std::move(passengerTicketStr);
  result.oldPassengerStr = std::move(oldPassengerStr);
  return result;
}

ServiceResult BookingClient::GetQueueCount(const std::string& trainDateMs, const std::string& trainNo,
                                           const std::string& stationTrainCode, const std::string& seatType,
                                           const std::string& fromTelecode, const std::string& toTelecode,
                                           const std::string& leftTicket, const std::string& purposeCodes,
                                           const std::string& repeatSubmitToken, std::stop_token stop) {
  const std::string body = ConcatTexts(
      std::string_view("train_date="), BrowserDateText(trainDateMs), std::string_view("&train_no="), trainNo,
      std::string_view("&stationTrainCode="), stationTrainCode, std::string_view("&seatType="), seatType,
      std::string_view("&fromStationTelecode="), fromTelecode, std::string_view("&toStationTelecode="), toTelecode,
      std::string_view("&leftTicket="), leftTicket, std::string_view("&purpose_codes="), purposeCodes,
      std::string_view("&train_location=V2"), kTokenPiece, repeatSubmitToken);
  const Exchanged answer = ExchangeText(paths::kQueueCount, kPost, body, headers_.xhr, stop);
  AnswerVerdict verdict = ReadGetQueueCount(answer.text);
  std::string message = MessageOf(verdict, texts::QueueCountFailed());
  return Judged(answer.outcome, stop, std::move(verdict), std::move(message));
}

ServiceResult BookingClient::ConfirmSingleForQueue(const std::string& passengerTicketStr,
                                                   const std::string& oldPassengerStr, const std::string& randCode,
                                                   const std::string& purposeCodes, const std::string& keyCheckIsChange,
                                                   const std::string& leftTicketStr, const std::string& trainLocation,
                                                   const std::string& chooseSeats, const std::string& seatDetailType,
                                                   const std::string& roomType, const std::string& dwAll,
                                                   const std::string& repeatSubmitToken, std::stop_token stop) {
  const std::string body = ConcatTexts(
      std::string_view("passengerTicketStr="), passengerTicketStr, std::string_view("&oldPassengerStr="),
      oldPassengerStr, std::string_view("&randCode="), randCode, std::string_view("&purpose_codes="), purposeCodes,
      std::string_view("&key_check_isChange="), keyCheckIsChange, std::string_view("&leftTicketStr="),
      UrlEncode(leftTicketStr), std::string_view("&train_location="), trainLocation, std::string_view("&choose_seats="),
      chooseSeats, std::string_view("&seatDetailType="), seatDetailType, std::string_view("&whatsSelect=1&roomType="),
      roomType, std::string_view("&dwAll="), dwAll, kTokenPiece, repeatSubmitToken);
  // The confirmation takes the ticket, so it must go exactly once. On a
  // kept-alive connection that the service closes before answering, libcurl
  // sends the request again on a new one; the service may have carried out
  // the first, and the second's refusal would hide that booking. A
  // connection of its own is never sent twice.
  const Exchanged answer =
      ExchangeText(paths::kConfirmSingleForQueue, kPost, body, headers_.xhr, stop, /*freshConnection=*/true);
  return JudgedWithReason(answer.outcome, stop, ReadConfirmSingleForQueue(answer.text));
}

OrderIdResult BookingClient::QueryOrderWaitTime(const std::string& tourFlag, const std::string& repeatSubmitToken,
                                                std::stop_token stop) {
  const std::string path =
      ConcatTexts(std::string_view(paths::kOrderWaitTime), std::string_view("?random="), MillisecondTimestamp(),
                  std::string_view("&tourFlag="), tourFlag, kTokenPiece, repeatSubmitToken);
  const Exchanged answer = ExchangeText(path, kGet, kNoBody, headers_.xhr, stop);
  std::string orderId = ReadOrderWaitTime(answer.text);
  const bool known = !orderId.empty();
  AnswerVerdict verdict{known ? AnswerKind::kAccepted : AnswerKind::kNoValidAnswer, {}};
  auto result =
      WithValues<OrderIdResult>(Judged(answer.outcome, stop, std::move(verdict), known ? texts::Success() : ""));
  result.orderId = std::move(orderId);
  return result;
}

ServiceResult BookingClient::ResultOrderForDcQueue(const std::string& orderId, const std::string& repeatSubmitToken,
                                                   std::stop_token stop) {
  const std::string body = ConcatTexts(std::string_view("orderSequence_no="), orderId, kTokenPiece, repeatSubmitToken);
  const Exchanged answer = ExchangeText(paths::kOrderResult, kPost, body, headers_.xhr, stop);
  return JudgedWithReason(answer.outcome, stop, ReadResultOrderForDcQueue(answer.text));
}

}  // namespace quillet
