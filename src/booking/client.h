#pragma once
// The one client of the booking service. Every operation is a blocking
// sequence of exchanges that reads the answers by marker search. Operations
// may run on any thread at the same time: each call keeps its answer private
// (lastResponse only holds a copy, under a lock) and the cookie jar is shared
// and thread-safe. Each operation takes a stop token that abandons it at once.
#include <atomic>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "booking/records.h"
#include "booking/requests.h"
#include "net/cookies.h"
#include "stations/station_directory.h"

namespace quillet {

inline constexpr char kRealServiceAddress[] = "https://kyfw.12306.cn";

class BookingClient {
 public:
  // serviceBaseAddress: scheme and host without a trailing slash. caFile: an
  // extra certificate authority bundle (empty: the system store only).
  BookingClient(std::string serviceBaseAddress, CookieJar& cookieJar, std::string caFile = {});
  BookingClient(const BookingClient&) = delete;
  BookingClient& operator=(const BookingClient&) = delete;

  void LoadStations();
  const StationDirectory& Stations() const { return stations_; }
  void FindStations(const std::string& query, int mode, std::vector<std::string>& results) const;

  bool Login(const std::string& userName, const std::string& password, const std::string& captchaAnswer,
             std::string& errorText, std::stop_token stop = {});
  std::string FetchCaptcha(std::stop_token stop = {});
  std::string CheckUser(std::stop_token stop = {});
  std::string LoadPassengers(std::vector<PassengerRecord>& list, std::stop_token stop = {});
  std::string QueryLeftTickets(bool studentPurpose, const std::string& trainDate, std::string& fromStation,
                               std::string& toStation, std::vector<TrainRecord>& records,
                               std::stop_token stop = {});

  std::string SubmitOrderRequest(const std::string& secretStr, const std::string& trainDate,
                                 const std::string& backTrainDate, const std::string& purposeCodes,
                                 const std::string& fromStationName, const std::string& toStationName,
                                 std::stop_token stop = {});
  std::string InitDc(std::string& repeatSubmitToken, std::string& leftTicketStr, std::string& trainDateMs,
                     std::string& keyCheckIsChange, std::stop_token stop = {});
  std::string CheckOrderInfo(const std::string& seatType, const std::string& ticketType,
                             const std::string& passengerName, const std::string& passengerType,
                             const std::string& idType, const std::string& idNo, std::string& passengerTicketStr,
                             std::string& oldPassengerStr, const std::string& repeatSubmitToken,
                             std::stop_token stop = {});
  std::string GetQueueCount(const std::string& trainDateMs, const std::string& trainNo,
                            const std::string& stationTrainCode, const std::string& seatType,
                            const std::string& fromTelecode, const std::string& toTelecode,
                            const std::string& leftTicket, const std::string& purposeCodes,
                            const std::string& repeatSubmitToken, std::stop_token stop = {});
  std::string ConfirmSingleForQueue(const std::string& passengerTicketStr, const std::string& oldPassengerStr,
                                    const std::string& randCode, const std::string& purposeCodes,
                                    const std::string& keyCheckIsChange, const std::string& leftTicketStr,
                                    const std::string& trainLocation, const std::string& chooseSeats,
                                    const std::string& seatDetailType, const std::string& roomType,
                                    const std::string& dwAll, const std::string& repeatSubmitToken,
                                    std::stop_token stop = {});
  // The order id, or empty while the service has none.
  std::string QueryOrderWaitTime(const std::string& tourFlag, const std::string& repeatSubmitToken,
                                 std::stop_token stop = {});
  std::string ResultOrderForDcQueue(const std::string& orderId, const std::string& repeatSubmitToken,
                                    std::stop_token stop = {});
  std::string QueryUncompletedOrders(std::stop_token stop = {});

  // The browser date text of a millisecond timestamp, in China Standard Time, URL-encoded.
  static std::string JsDateText(const std::string& timestamp);
  static int ExtractAllBetween(const std::string& text, const std::string& left, const std::string& right,
                               std::vector<std::string>& items, bool caseSensitive = false, int maxLength = 0,
                               const std::string& prefix = {}, const std::string& suffix = {},
                               bool withLeft = false, bool withRight = false, int start = 0);

  const std::string& ServiceBaseAddress() const { return serviceBaseAddress_; }
  CookieJar& Cookies() { return cookieJar_; }
  std::string LastResponse() const;
  std::string RepeatSubmitToken() const;
  std::vector<PassengerRecord> Passengers() const;

  // Connection reuse can be switched off to measure what it saves.
  void SetReuseConnections(bool reuse) { reuseConnections_ = reuse; }

 private:
  // One exchange with the service: the answer's bytes, empty on any failure
  // or when the stop token has been triggered before it starts.
  std::string Exchange(const std::string& path, const std::string& method, const std::string& body,
                       const std::string& headerBlock, const std::stop_token& stop) const;
  // Exchange, with the answer decoded to program text.
  std::string ExchangeText(const std::string& path, const std::string& method, const std::string& body,
                           const std::string& headerBlock, const std::stop_token& stop) const;
  void SetLastResponse(std::string text);

  std::string serviceBaseAddress_;
  CookieJar& cookieJar_;
  std::string caFile_;
  std::atomic<bool> reuseConnections_ = true;
  StationDirectory stations_;
  const HeaderBlocks headers_;

  mutable std::mutex stateMutex_;  // guards the three fields below
  std::string lastResponse_;
  std::string repeatSubmitToken_;
  std::vector<PassengerRecord> passengers_;
};

// Milliseconds since the Unix epoch as decimal text (13 digits today);
// secondsOnly keeps the first 10 characters.
std::string MillisecondTimestamp(bool secondsOnly = false);

}  // namespace quillet
