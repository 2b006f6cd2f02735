#pragma once
// What the client sends: the service's header blocks and the request pieces
// that are more than a plain concatenation.
#include <string>
#include <string_view>

#include "booking/service_paths.h"

namespace quillet {

// The five fixed header blocks (lines joined by CR LF, no trailing CR LF).
// The spacing after the colons differs between blocks and is sent as written.
struct HeaderBlocks {
  explicit HeaderBlocks(const std::string& serviceBaseAddress);
  std::string xhr;        // form posts and the order-wait query
  std::string page;       // the login page
  std::string captcha;    // the captcha picture
  std::string passenger;  // the passenger list
  std::string query;      // the left-ticket query
};

// The login form: account name and password percent-encoded, the captcha
// answer as the login page built it.
std::string LoginBody(const std::string& userName, const std::string& password, const std::string& captchaAnswer);

// What a sign-in QR code with this uuid encodes.
std::string QrSignInContent(const std::string& uuid);

// A station box text as the query sends it: a picked entry "name|telecode"
// becomes its telecode (the part after the last "|"); any other text stays.
std::string StationQueryValue(std::string_view station);

// Path and query string of the left-ticket query at `queryPath`; both
// stations are percent-encoded, the date is inserted as it is.
std::string LeftTicketQueryPath(const std::string& trainDate, const std::string& fromStation,
                                const std::string& toStation, bool studentPurpose,
                                std::string_view queryPath = service_paths::kLeftTicketQuery);

// The two passenger texts of an order, percent-encoded as the service expects.
std::string PassengerTicketText(const std::string& seatType, const std::string& ticketType,
                                const std::string& passengerName, const std::string& idType, const std::string& idNo);
std::string OldPassengerText(const std::string& passengerName, const std::string& idType, const std::string& idNo,
                             const std::string& passengerType);

}  // namespace quillet
