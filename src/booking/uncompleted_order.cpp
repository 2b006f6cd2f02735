#include "booking/uncompleted_order.h"

#include "booking/answers.h"
#include "util/text.h"

namespace quillet {

UncompletedOrderAnswer ReadUncompletedOrder(std::string_view answer) {
  const auto field = [answer](std::string_view start, std::string_view end) { return TextBetween(answer, start, end); };
  UncompletedOrderAnswer read;
  UncompletedOrder& o = read.order;
  o.sequenceNo = field("sequence_no\":\"", "\",");
  o.orderDate = field("order_date\":\"", "\",");
  o.ticketCount = field("ticket_totalnum\":", ",");
  o.price = field("str_ticket_price_page\":\"", "\",");
  o.cancelFlag = field("cancel_flag\":\"", "\",");
  o.trainNo = field("train_no\":\"", "\"}");
  o.trainCode = field("station_train_code\":\"", "\",");
  o.travelDate = field("start_train_date_page\":\"", "\",");
  o.fromStationName = field("from_station_name\":\"", "\",");
  o.toStationName = field("to_station_name\":\"", "\",");
  o.passengerName = field("passenger_name\":\"", "\",");
  o.seatTypeName = field("seat_type_name\":\"", "\",");
  o.coachName = field("coach_name\":\"", "\",");
  o.seatName = field("seat_name\":\"", "\",");
  o.payDeadline = field("lose_time\":\"", "\",");
  o.ticketTypeName = field("ticket_type_name\":\"", "\",");
  o.departureTime = field("start_time_page\":\"", "\",");
  o.arrivalTime = field("arrive_time_page\":\"", "\",");

  if (!o.sequenceNo.empty()) {
    read.verdict = {AnswerKind::kAccepted, {}};
  } else if (std::string reason = ServiceMessage(answer); !reason.empty()) {
    read.verdict = RefusalFor(std::move(reason));
  }
  return read;
}

}  // namespace quillet
