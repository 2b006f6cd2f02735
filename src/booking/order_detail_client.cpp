// The client's look-ups after an order and before a sale: the seats an order
// holds and the stations' sale openings.
#include "booking/answers.h"
#include "booking/client.h"
#include "booking/service_paths.h"
#include "booking/texts.h"
#include "util/text.h"

namespace quillet {

namespace {

const std::string kPost = "POST";
const std::string kGet;  // a GET leaves the method to its default

template <typename Result>
Result Judged(ExchangeOutcome transport, const std::stop_token& stop, bool read, std::string_view answer) {
  Result result;
  result.transport = transport;
  if (stop.stop_requested() || transport == ExchangeOutcome::kStopped) {
    result.kind = ServiceResultKind::kStopped;
  } else if (transport != ExchangeOutcome::kOk) {
    result.kind = ServiceResultKind::kTransportFailure;
  } else if (read) {
    result.kind = ServiceResultKind::kDone;
    result.message = booking_texts::Success();
  } else if (FindText(answer, "\"status\":false") != kNotFound) {
    result.kind = ServiceResultKind::kRefused;
    result.message = ServiceMessage(answer);
  } else {
    result.kind = ServiceResultKind::kNoValidAnswer;
  }
  return result;
}

}  // namespace

OrderSeatsResult BookingClient::QueryOrderSeats(const std::string& orderId, std::stop_token stop) {
  const Exchanged answer = ExchangeText(service_paths::kUnfinishedOrders, kPost, "_json_att=", headers_.xhr, stop);
  std::vector<BookedSeat> seats = ReadOrderSeats(answer.text, orderId);
  auto result = Judged<OrderSeatsResult>(answer.outcome, stop, !seats.empty(), answer.text);
  if (result.Done()) result.seats = std::move(seats);
  return result;
}

StationSaleTimesResult BookingClient::QueryStationSaleTimes(std::stop_token stop) {
  const Exchanged answer = ExchangeText(service_paths::kStationSaleTimes, kGet, "", headers_.page, stop);
  std::optional<StationSaleTimes> times = ReadStationSaleTimes(answer.text);
  auto result = Judged<StationSaleTimesResult>(answer.outcome, stop, times.has_value(), answer.text);
  if (result.Done()) result.times = std::move(*times);
  return result;
}

}  // namespace quillet
