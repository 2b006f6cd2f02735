#pragma once
#include <string>

namespace quillet {

struct PassengerRecord {
  std::string passenger_name;
  std::string sex_name;
  std::string passenger_type;
  std::string passenger_type_name;
  std::string passenger_id_type_code;
  std::string passenger_id_type_name;
  std::string passenger_id_no;
  std::string mobile_no;
};

struct TrainRecord {
  std::string stationTrainCode;   // piece 3
  std::string trainNo;            // piece 2
  std::string startTime;          // piece 8
  std::string arriveTime;         // piece 9
  std::string fromStationName;    // name for piece 6
  std::string fromTelecode;       // piece 6
  std::string toStationName;      // name for piece 7
  std::string toTelecode;         // piece 7
  std::string duration;           // piece 10
  std::string canWebBuy;          // piece 11
  std::string leftTicket;         // piece 12
  std::string businessSeat;       // piece 32
  std::string firstClassSeat;     // piece 31
  std::string secondClassSeat;    // piece 30
  std::string hardSeat;           // piece 29
  std::string hardSleeper;        // piece 28
  std::string noSeat;             // piece 26
  std::string seatCount25;        // piece 25
  std::string softSeat;           // piece 24
  std::string softSleeper;        // piece 23
  std::string deluxeSoftSleeper;  // piece 20
  std::string otherSeat;          // piece 22
  std::string secretStr;          // piece 0
  std::string trainLocation;      // piece 15
};

// The passenger data one order carries.
struct OrderPassenger {
  std::string name;
  std::string passengerType;
  std::string idType;
  std::string idNo;
  std::string ticketType{};  // the service's code; empty: the order's
};

}  // namespace quillet
