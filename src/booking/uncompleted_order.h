#pragma once
// The service's answer about the account's uncompleted order
// (queryMyOrderNoComplete), read into values.
#include <string>
#include <string_view>

#include "booking/answer_verdict.h"

namespace quillet {

// Every field as the answer wrote it (program text), empty when missing; each
// is taken from the first occurrence of its key.
struct UncompletedOrder {
  std::string sequenceNo;
  std::string orderDate;
  std::string ticketCount;
  std::string price;       // as the page shows it
  std::string cancelFlag;  // "Y" when the order can be cancelled
  std::string trainNo;
  std::string trainCode;
  std::string travelDate;
  std::string fromStationName;
  std::string toStationName;
  std::string passengerName;
  std::string seatTypeName;
  std::string coachName;
  std::string seatName;
  std::string payDeadline;  // "yyyy-MM-dd hh:mm:ss" as the service gives it
  std::string ticketTypeName;
  std::string departureTime;
  std::string arrivalTime;
};

struct UncompletedOrderAnswer {
  // Accepted when the answer names an order (its sequence number); refused
  // with the service's message; otherwise no valid answer (no order, or not
  // an answer of this request).
  AnswerVerdict verdict;
  UncompletedOrder order;  // read whatever the verdict
};

UncompletedOrderAnswer ReadUncompletedOrder(std::string_view answer);

}  // namespace quillet
