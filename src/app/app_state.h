#pragma once
// What the command line sets for the program.
#include <string>

#include "booking/client.h"

namespace quillet {

struct AppSettings {
  std::string serviceBaseAddress = kRealServiceAddress;
  std::string caFile;     // extra certificate authority bundle, may be empty
  std::string notifyUrl;  // webhook told of bookings; empty: none
  bool sound = true;      // the completion sound on a booking
};

}  // namespace quillet
