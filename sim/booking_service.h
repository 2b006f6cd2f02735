#pragma once
// The booking service's behaviour: sessions, login, the left-ticket query,
// the order chain, orders and the ticket stock. One mutex guards all state;
// no handler sleeps or draws while holding it.
#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "accounts.h"
#include "captcha.h"
#include "china_time.h"
#include "options.h"
#include "rng.h"
#include "sale_schedule.h"
#include "seat_plan.h"
#include "service_behaviour.h"
#include "sim_http.h"
#include "station_sales.h"
#include "stations.h"
#include "text_codec.h"
#include "timetable.h"
#include "tokens.h"
#include "waitlist.h"

namespace quillet::sim {

// What submitOrderRequest made pending and the later steps filled in.
struct PendingOrder {
  TrainRef ref;
  TrainRun run;
  std::string purposeCodes;
  std::string keyCheck;            // from the order page, empty until it was shown
  bool checked = false;            // checkOrderInfo accepted the passengers
  std::string passengerTicketStr;  // decoded, as checkOrderInfo got them
  std::string oldPassengerStr;
  std::string seatCode;  // one class for the whole party
  struct Seat {
    std::size_t passengerIndex = 0;  // into the account's passengers
    std::string ticketType;
  };
  std::vector<Seat> seats;  // in the order of passengerTicketStr
};

struct Session {
  std::string id;
  Rng rng;
  std::int64_t lastSeenMs = 0;                 // steady clock
  std::list<std::string>::iterator idlePlace;  // in BookingService::idleOrder_
  std::optional<CaptchaPicture> captcha;
  bool captchaPassed = false;
  std::string account;    // set by a right loginAysnSuggest
  bool loggedIn = false;  // set by userLogin
  std::string token;      // the latest REPEAT_SUBMIT_TOKEN
  std::optional<PendingOrder> pending;
  std::string queuedOrderId;
  int pollsLeft = 0;  // wait-time polls still answered without the id
  std::int64_t requestId = 0;
  std::optional<PendingWaitlist> waitlist;
  std::string queuedWaitlist;  // reserve number of the waitlist order just confirmed
  int waitlistPollsLeft = 0;   // queue polls still answered without it
};

enum class OrderStatus { kQueued, kUnpaid, kExpired };

// A sign-in QR code as the passport service keeps it. Waiting and scanned
// codes expire --qr-ttl seconds after they were made.
enum class QrCodeState { kWaiting, kScanned, kConfirmed, kRefused };
struct QrCode {
  std::string uuid;
  std::int64_t createdMs = 0;  // steady clock
  QrCodeState state = QrCodeState::kWaiting;
  std::string account;  // who scanned it
  std::string uamtk;    // the passport token its confirmation gave
};

// What the phone does with a code (POST /sim/qr/scan): scan it and, with
// `confirm`, confirm or refuse the sign-in.
struct QrScan {
  std::string id;
  std::string account;
  std::optional<bool> confirm;
};

// One ticket of an order: who travels, on which ticket type, in which seat.
struct Ticket {
  Passenger passenger;
  std::string ticketType;
  std::string seatName;
  std::string position{};  // "F", for a class with lettered seats
  std::string berth{};     // "下铺", for a sleeper class
};

// One order holds the tickets of the whole party: all were booked together
// and all go back to the stock together.
struct Order {
  std::string orderId;
  std::string account;
  std::vector<Ticket> tickets;
  TrainRun run;
  std::string date;
  std::string seatCode;
  std::string coach;
  std::int64_t createdMs = 0;  // Unix time
  std::int64_t loseMs = 0;     // payment deadline, Unix time
  OrderStatus status = OrderStatus::kQueued;
};

class BookingService {
 public:
  explicit BookingService(const Options& options);

  SimResponse Handle(const SimRequest& request);
  // The "busy" refusal in the shape the endpoint answers in.
  static SimResponse BusyAnswer(const std::string& path);

  // Control side.
  std::string BookingsJson();
  // The waitlist orders, in the order they were placed.
  std::string WaitlistJson();
  // Ends the waiting waitlist orders whose deadline is at or before nowMs.
  void ExpireWaitlists(std::int64_t nowMs);
  std::size_t SessionCount();
  // {"cells":[...]}; false when the session is unknown or has no picture.
  bool CaptchaCellsJson(const std::string& sessionId, std::string& json);
  // Sets a class's stock; false with an error text when the input is bad.
  bool Release(const std::string& date, const std::string& train, const std::string& seat, const std::string& count,
               std::string& answer);
  void Reset();
  // The phone's part of a QR sign-in; the HTTP status and the JSON answer.
  int ScanQrCode(const QrScan& scan, std::string& answer);
  // Sets when a travel date goes on sale; the sale moments as JSON.
  void SetSale(const SaleOpening& opening) { sales_.Set(opening); }
  std::string SalesJson() const { return sales_.Json(); }
  // Sets a station's daily sale opening (service_places.cpp).
  void SetStationSale(const StationSale& sale) { stationSales_.Set(sale); }
  // Marks positions ("F") or berths ("下铺") of a class as sold out, or
  // frees them all again with both lists empty; false with an error text
  // when the input is bad.
  bool SetTaken(const std::string& date, const std::string& train, const std::string& seat,
                const std::string& positions, const std::string& berths, std::string& answer);
  // The stock of one class, as the query would count it.
  int StockCount(const std::string& date, const std::string& train, const std::string& seat);
  // Periodic work: expired orders and idle sessions (every second), and
  // tickets coming back (every --release-every seconds).
  void Maintain();
  void ReleaseTickets();
  double ReleaseEverySeconds() const { return options_.releaseEverySeconds; }

  // Helpers shared with the tests of the service itself.
  const Timetable& Trains() const { return timetable_; }

 private:
  using Lock = std::unique_lock<std::mutex>;

  // Session handling (mutex held).
  Session* FindSession(const std::string& cookieHeader);
  // Makes a session; when --max-sessions are kept, the one idle longest goes.
  Session& NewSession(SimResponse& response);
  void DropSession(std::map<std::string, std::unique_ptr<Session>>::iterator it);
  std::int64_t SteadyMs() const;

  // Endpoints. Those taking a Lock may release it while drawing.
  SimResponse LoginPage(const SimRequest& request);
  SimResponse CaptchaImage(const SimRequest& request);
  SimResponse CheckCaptcha(const SimRequest& request);
  SimResponse LoginSuggest(const SimRequest& request);
  SimResponse UserLogin(const SimRequest& request);
  SimResponse MyPage(const SimRequest& request);
  SimResponse CheckUser(const SimRequest& request);
  SimResponse QueryPage();
  SimResponse CreateQrCode(const SimRequest& request);
  SimResponse CheckQrCode(const SimRequest& request);
  SimResponse PassportToken(const SimRequest& request);
  SimResponse AuthClient(const SimRequest& request);
  SimResponse LeftTicketQuery(const SimRequest& request);
  SimResponse OrderPage(const SimRequest& request);
  SimResponse Passengers(const SimRequest& request);
  SimResponse SubmitOrder(const SimRequest& request);
  SimResponse CheckOrderInfo(const SimRequest& request);
  SimResponse QueueCount(const SimRequest& request);
  SimResponse ConfirmQueue(const SimRequest& request);
  SimResponse WaitTime(const SimRequest& request);
  SimResponse ResultOrder(const SimRequest& request);
  SimResponse UncompletedOrders(const SimRequest& request);
  SimResponse StationSaleTimes(const SimRequest& request);
  SimResponse WaitlistCheckFace(const SimRequest& request);
  SimResponse WaitlistSuccessRate(const SimRequest& request);
  SimResponse WaitlistSubmit(const SimRequest& request);
  SimResponse WaitlistConfirm(const SimRequest& request);
  SimResponse WaitlistQueue(const SimRequest& request);
  SimResponse WaitlistState(const SimRequest& request);
  SimResponse WaitlistCancel(const SimRequest& request);

  // Waitlist (mutex held). The choices of a secret list, or a refusal text.
  std::string ResolveWaitlistChoices(const std::string& secretList, std::int64_t nowMs,
                                     std::vector<WaitlistChoice>& choices);
  // "1" when a sold-out class of a bookable train takes waitlist orders.
  std::string WaitlistMark(const TrainRun& run, const std::string& date, bool bookable);
  bool WaitlistClosedFor(const WaitlistChoice& choice, std::int64_t nowMs);
  // Fills waiting orders from the stock, in placement order, each with all
  // its party on its first choice that has enough tickets.
  void FillWaitlists();
  void ExpireWaitlistsLocked(std::int64_t nowMs);
  bool HasOpenWaitlist(const std::string& account) const;
  // A passenger (by id number) holds a ticket or a waiting waitlist place on
  // a journey that overlaps one of the choices.
  bool PassengerBusy(const std::string& idNo, const std::vector<WaitlistChoice>& choices) const;

  // Stock (mutex held).
  int& Stock(const std::string& date, const std::string& code, const std::string& seat);
  std::string CountText(const TrainProfile& profile, const std::string& date, const std::string& seat);
  int UnfinishedOrders(const std::string& account) const;
  void ExpireOrders(std::int64_t nowMs);

  // When a date goes on sale at a departure station: its own moment when one
  // is set (--sale), else the station's daily opening.
  std::optional<std::int64_t> SaleOpeningMs(const std::string& date, const std::string& fromTelecode) const;
  // Before the date's sale moment every class it offers shows "*".
  std::string TrainText(const TrainRun& run, const std::string& date, std::optional<std::int64_t> opensAtMs);
  std::string OrderPageScript(const Session& session);
  std::string NewOrderId();
  // Waiting and scanned codes past --qr-ttl count as expired (mutex held).
  bool QrExpired(const QrCode& code) const;

  Options options_;
  StationTable stations_;
  Timetable timetable_;
  TokenMaker tokens_;
  AccountBook accounts_;
  SaleSchedule sales_;
  StationSales stationSales_;
  ServiceBehaviour behaviour_;
  const std::chrono::steady_clock::time_point started_;

  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<Session>> sessions_;
  std::list<std::string> idleOrder_;  // session ids, the one idle longest first
  std::uint64_t sessionCounter_ = 0;
  std::map<std::string, int> stock_;          // "date|code|seat"
  std::map<std::string, TakenPlaces> taken_;  // "date|code|seat"
  std::vector<Order> orders_;
  std::vector<WaitlistOrder> waitlists_;  // in placement order
  std::uint64_t waitlistPlacements_ = 0;
  Rng idRng_;
  Rng releaseRng_;
  // The passport side of QR sign-in: codes by uuid, confirmed passport
  // tokens (uamtk) and the app tokens they were exchanged for, each by value
  // with the account it signs in.
  std::map<std::string, QrCode> qrCodes_;
  std::map<std::string, std::string> passportTokens_;
  std::map<std::string, std::string> appTokens_;
  Rng qrRng_;
};

}  // namespace quillet::sim
