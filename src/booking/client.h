#pragma once
// The one client of the booking service. Every operation is a blocking
// sequence of exchanges that reads the answers by marker search. Operations
// may run on any thread at the same time: each call keeps its answer private
// (lastResponse only holds a copy, under a lock) and the cookie jar is shared
// and thread-safe. Each operation takes a stop token that abandons it at once,
// and returns a typed result (see service_result.h) with its values.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "booking/answers.h"
#include "booking/order_seats.h"
#include "booking/query_answer.h"
#include "booking/records.h"
#include "booking/requests.h"
#include "booking/service_paths.h"
#include "booking/service_result.h"
#include "booking/station_sale_times.h"
#include "booking/waitlist_results.h"
#include "net/cookies.h"
#include "net/service_settings.h"
#include "stations/station_directory.h"

namespace quillet {

// The exchanges of signing in and of loading the account's passengers.
enum class SignInStep { kLoginPage, kCaptchaPicture, kCaptchaCheck, kLogin, kLoginConfirm, kOrderPage, kPassengerList };

// The exchange that decided a sign-in operation and what came back from it,
// so that a front end can name the real reason of a failure.
struct SignInStepOutcome {
  SignInStep step = SignInStep::kLoginPage;
  long httpStatus = 0;         // of its last answer; 0 without one
  std::string serviceMessage;  // the service's first message in that answer, if any
};

struct CaptchaResult : ServiceResult {
  std::string picture;  // the picture's bytes as the service sent them; empty unless done
  SignInStepOutcome decidedBy;
};
struct LoginResult : ServiceResult {
  SignInStepOutcome decidedBy;
  // The captcha answer must be made again: the check failed in any way, or
  // the login refused it.
  bool captchaSpent = false;
};
struct PassengersResult : ServiceResult {
  std::vector<PassengerRecord> passengers;  // the account's passengers, in the service's order
  SignInStepOutcome decidedBy;
};
struct TrainsResult : ServiceResult {
  std::vector<TrainRecord> trains;
  // Whether the answer shows the service throttling this client.
  QueryAnswerSign sign = QueryAnswerSign::kNormal;
  // The new query path when this call moved the session's query to it (one
  // call per move); empty otherwise.
  std::string movedQueryPath;
};
struct OrderPageResult : ServiceResult {
  OrderPageValues values;  // read also when the page lacks the left-ticket text
};
struct OrderInfoResult : ServiceResult {
  std::string passengerTicketStr;  // the two passenger texts as sent, for the confirm step
  std::string oldPassengerStr;
};
struct QrCodeResult : ServiceResult {
  std::string uuid;
  std::string content;  // what the code encodes: the address the phone app opens
  std::string picture;  // the PNG as the service sent it; empty when it was not readable
};
struct QrStateResult : ServiceResult {
  QrCodeState state = QrCodeState::kUnknown;  // read when Done(); `message` holds the service's words
};
struct OrderIdResult : ServiceResult {
  std::string orderId;  // empty (and the kind kNoValidAnswer) while the service has none
};
struct OrderSeatsResult : ServiceResult {
  std::vector<BookedSeat> seats;  // the order's tickets; Done() only when the answer lists the order
};
struct StationSaleTimesResult : ServiceResult {
  StationSaleTimes times;  // read when Done()
};

class BookingClient {
 public:
  // Every exchange goes to `service` (its address, CA file and proxy) and
  // reads stations from `stations`, a table shared read-only with the rest
  // of the process.
  BookingClient(ServiceSettings service, CookieJar& cookieJar, std::shared_ptr<const StationDirectory> stations);
  // The same with the built-in station table.
  BookingClient(std::string serviceBaseAddress, CookieJar& cookieJar, std::string caFile = {});
  BookingClient(const BookingClient&) = delete;
  BookingClient& operator=(const BookingClient&) = delete;

  const StationDirectory& Stations() const { return *stations_; }

  // Signing in and loading the passengers try each exchange up to
  // kSignInTries times, a pause apart, while it fails in transport, brings an
  // answer the step does not know, or the service asks to come again later;
  // an answer that says no is taken at once.
  static constexpr int kSignInTries = 3;

  // The captcha check, then the login and its confirmation (the service
  // sends a confirmed sign-in on from its login page, a refused one back to
  // it). A captcha answer the check refuses is kCaptchaRefused; every
  // failure of the check keeps the text "验证码错误" the window acts on,
  // with the real kind. A refused login carries the service's message.
  LoginResult Login(const std::string& userName, const std::string& password, const std::string& captchaAnswer,
                    std::stop_token stop = {});
  // The login page (for the session's first cookies), then a picture: an
  // answer that is not a JPEG or PNG picture is fetched again.
  CaptchaResult FetchCaptcha(std::stop_token stop = {});
  // QR sign-in: a new code (after the login page, for the first cookies),
  // its state, and once it is confirmed the exchange of its passport token
  // for the signed-in session. A check answer that tells no state is
  // kNoValidAnswer; a refused exchange carries the service's message.
  QrCodeResult CreateQrCode(std::stop_token stop = {});
  QrStateResult CheckQrCode(const std::string& uuid, std::stop_token stop = {});
  ServiceResult FinishQrSignIn(std::stop_token stop = {});
  // kDone while signed in; kRefused when the service says the sign-in is
  // gone ("flag":false); kNoValidAnswer for an answer that says neither.
  ServiceResult CheckUser(std::stop_token stop = {});
  PassengersResult LoadPassengers(std::stop_token stop = {});
  // Each station text on its own: a picked entry "name|telecode" goes as its
  // telecode. With `onlyTrains` (station train codes) the result holds the
  // records of just those trains, in the answer's order; a grab pass that
  // looks at a few trains does not pay for making the others' records.
  //
  // A redirect answer that names another query path moves the query there,
  // for every later call too, and the query is sent again at once; a path
  // the client does not follow fails the query with the reason.
  TrainsResult QueryLeftTickets(bool studentPurpose, const std::string& trainDate, const std::string& fromStation,
                                const std::string& toStation, std::stop_token stop = {},
                                std::span<const std::string> onlyTrains = {});

  ServiceResult SubmitOrderRequest(const std::string& secretStr, const std::string& trainDate,
                                   const std::string& backTrainDate, const std::string& purposeCodes,
                                   const std::string& fromStationName, const std::string& toStationName,
                                   std::stop_token stop = {});
  OrderPageResult InitDc(std::stop_token stop = {});
  OrderInfoResult CheckOrderInfo(const std::string& seatType, const std::string& ticketType,
                                 const OrderPassenger& passenger, const std::string& repeatSubmitToken,
                                 std::stop_token stop = {});
  // Several passengers on one order, all with the one ticket type: their
  // passenger texts joined as the service expects ("_" between them).
  OrderInfoResult CheckOrderInfo(const std::string& seatType, const std::string& ticketType,
                                 const std::vector<OrderPassenger>& passengers, const std::string& repeatSubmitToken,
                                 std::stop_token stop = {});
  ServiceResult GetQueueCount(const std::string& trainDateMs, const std::string& trainNo,
                              const std::string& stationTrainCode, const std::string& seatType,
                              const std::string& fromTelecode, const std::string& toTelecode,
                              const std::string& leftTicket, const std::string& purposeCodes,
                              const std::string& repeatSubmitToken, std::stop_token stop = {});
  ServiceResult ConfirmSingleForQueue(const std::string& passengerTicketStr, const std::string& oldPassengerStr,
                                      const std::string& randCode, const std::string& purposeCodes,
                                      const std::string& keyCheckIsChange, const std::string& leftTicketStr,
                                      const std::string& trainLocation, const std::string& chooseSeats,
                                      const std::string& seatDetailType, const std::string& roomType,
                                      const std::string& dwAll, const std::string& repeatSubmitToken,
                                      std::stop_token stop = {});
  OrderIdResult QueryOrderWaitTime(const std::string& tourFlag, const std::string& repeatSubmitToken,
                                   std::stop_token stop = {});
  ServiceResult ResultOrderForDcQueue(const std::string& orderId, const std::string& repeatSubmitToken,
                                      std::stop_token stop = {});
  // The seats of a booked order, from the account's unfinished orders
  // (order_detail_client.cpp). An answer without the order is kNoValidAnswer.
  OrderSeatsResult QueryOrderSeats(const std::string& orderId, std::stop_token stop = {});
  // The stations' daily sale openings; needs no sign-in.
  StationSaleTimesResult QueryStationSaleTimes(std::stop_token stop = {});

  // Waitlist orders (waitlist_client.cpp): the party check, the chance of
  // each choice, submitting the choices (1 to 6 of one date), confirming the
  // party with a deadline ("yyyy-MM-dd HH:mm"), the queue that tells the new
  // order's number, its state, and cancelling it. A refusal carries the
  // service's reason in `message`.
  // The left-ticket query read with each train's waitlist mark.
  WaitlistTrainsResult QueryWaitlistTrains(bool studentPurpose, const std::string& trainDate,
                                           const std::string& fromStation, const std::string& toStation,
                                           std::stop_token stop = {});
  WaitlistCheckResult CheckWaitlistParty(const std::vector<WaitlistPick>& picks, std::stop_token stop = {});
  WaitlistChancesResult WaitlistChances(const std::vector<WaitlistPick>& picks, std::stop_token stop = {});
  ServiceResult SubmitWaitlist(const std::vector<WaitlistPick>& picks, std::stop_token stop = {});
  ServiceResult ConfirmWaitlist(const std::vector<WaitlistMember>& party, const std::string& deadline,
                                std::stop_token stop = {});
  WaitlistQueueResult QueryWaitlistQueue(std::stop_token stop = {});
  WaitlistStateResult QueryWaitlistState(const std::string& reserveNo, std::stop_token stop = {});
  ServiceResult CancelWaitlist(const std::string& reserveNo, std::stop_token stop = {});

  const std::string& ServiceBaseAddress() const { return service_.address; }
  // Where the left-ticket query goes now ("/otn/leftTicket/query" until the service moves it).
  std::string QueryPath() const;
  CookieJar& Cookies() { return cookieJar_; }
  // The decoded answer of the latest login, passenger or left-ticket request
  // (cut down as those operations cut it).
  std::string LastResponse() const;
  // The page token of the latest passenger load.
  std::string RepeatSubmitToken() const;

  // Connection reuse can be switched off to measure what it saves.
  void SetReuseConnections(bool reuse) { reuseConnections_ = reuse; }
  // How long one exchange with the service may take in all (15 s unless
  // set); one that is still going then is a kDeadlinePassed transport failure.
  void SetExchangeDeadline(std::chrono::milliseconds deadline) { exchangeDeadline_ = deadline; }
  // The pause between two tries of a sign-in exchange.
  void SetRetryPause(std::chrono::milliseconds pause) { retryPause_ = pause; }
  // The local address every exchange leaves from ("127.0.0.2", an interface
  // name, ...); empty (the default): whichever the system picks.
  void SetSourceAddress(std::string address);
  std::string SourceAddress() const;

 private:
  // How a sign-in step takes one answer.
  enum class Verdict { kAccepted, kRefused, kTryAgain };
  struct Attempt {
    HttpExchangeResult answer;
    std::string text;  // the answer decoded to program text (when asked for)
    Verdict verdict = Verdict::kTryAgain;
  };
  // Exchange up to kSignInTries times while `judge` says kTryAgain; the last
  // attempt comes back. A stop ends the tries at once.
  template <typename Judge>
  Attempt ExchangeWithTries(const std::string& path, const std::string& method, const std::string& body,
                            const std::string& headerBlock, const std::stop_token& stop, bool decode,
                            Judge&& judge) const;
  // The path of an answer's URL when it lies on the service, else empty.
  std::string_view ServicePathOf(std::string_view url) const;
  struct Exchanged {
    ExchangeOutcome outcome = ExchangeOutcome::kOther;
    std::string text;  // the answer decoded to program text; empty unless the exchange succeeded
  };
  // One exchange with the service; nothing is sent when the stop token has
  // been triggered before it starts. `freshConnection`: on a connection of
  // its own, never a kept-alive one (see ConfirmSingleForQueue).
  HttpExchangeResult Exchange(const std::string& path, const std::string& method, const std::string& body,
                              const std::string& headerBlock, const std::stop_token& stop,
                              bool freshConnection = false) const;
  // Exchange, with the answer decoded to program text.
  Exchanged ExchangeText(const std::string& path, const std::string& method, const std::string& body,
                         const std::string& headerBlock, const std::stop_token& stop,
                         bool freshConnection = false) const;
  // One left-ticket query at `queryPath`. A redirect answer naming a path
  // to follow, while `mayFollow`, comes back as only that path in movedQueryPath.
  TrainsResult QueryLeftTicketsAt(const std::string& queryPath, bool studentPurpose, const std::string& trainDate,
                                  const std::string& fromStation, const std::string& toStation,
                                  const std::stop_token& stop, std::span<const std::string> onlyTrains, bool mayFollow);
  // Moves the query from `from` to `to` unless another call moved it
  // already; true when this call did.
  bool MoveQueryPath(const std::string& from, const std::string& to);
  void SetLastResponse(std::string text);
  // Keeps an answer still in UTF-8; LastResponse converts it when asked.
  void SetLastResponseUtf8(std::string_view utf8);

  const ServiceSettings service_;
  CookieJar& cookieJar_;
  std::atomic<bool> reuseConnections_ = true;
  std::atomic<std::chrono::milliseconds> exchangeDeadline_ = ExchangeOptions{}.deadline;
  std::atomic<std::chrono::milliseconds> retryPause_{std::chrono::milliseconds(400)};
  const std::shared_ptr<const StationDirectory> stations_;
  const HeaderBlocks headers_;

  mutable std::mutex sourceMutex_;  // guards sourceAddress_
  std::string sourceAddress_;

  mutable std::mutex stateMutex_;  // guards the four fields below
  std::string queryPath_ = service_paths::kLeftTicketQuery;
  std::string lastResponse_;
  bool lastResponseIsUtf8_ = false;  // lastResponse_ is not converted yet
  std::string repeatSubmitToken_;
};

}  // namespace quillet
