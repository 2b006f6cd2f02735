#pragma once
#include <string>
#include <vector>

#include "booking/records.h"
#include "booking/seat_choice.h"

namespace quillet {

// One worker's order record; every field is program text and starts empty.
struct GrabTask {
  std::string passengerName;
  std::string passengerType;
  std::string ticketType;
  std::string idType;
  std::string idNo;
  std::string fromStationName;
  std::string toStationName;
  std::string fromTelecode;
  std::string toTelecode;
  std::string stationTrainCode;
  std::string trainLocation;
  std::string trainDate;
  std::string trainDateMs;
  std::string seatType;
  std::string trainNo;
  std::string secretStr;
  std::string leftTicket;
  std::string passengerTicketStr;
  std::string oldPassengerStr;
  std::string keyCheckIsChange;
  std::string orderId;
  std::string repeatSubmitToken;
  std::string leftTicketStr;
  // Everyone on the order, the passenger above first. Empty: that passenger alone.
  std::vector<OrderPassenger> party;
  // Asked seat positions and berths, sent with the classes that have them.
  std::vector<SeatPosition> seatPositions;
  std::vector<Berth> berths;
};

}  // namespace quillet
