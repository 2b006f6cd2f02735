#include "booking/requests.h"

#include "booking/service_paths.h"
#include "net/encoding.h"
#include "util/text.h"

namespace quillet {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kXhrUserAgent[] =
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/49.0.2623.75 Safari/537.36";
constexpr char kPageUserAgent[] =
    "User-Agent:Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/39.0.2171.95 Safari/537.36";
constexpr char kPageAccept[] = "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,*/*;q=0.8";
constexpr char kUpgradeInsecure[] = "Upgrade-Insecure-Requests: 1";

}  // namespace

HeaderBlocks::HeaderBlocks(const std::string& base) {
  xhr = ConcatTexts(std::string_view("X-Requested-With: XMLHttpRequest"), kCrLf, kXhrUserAgent, kCrLf,
                    std::string_view("Content-Type: application/x-www-form-urlencoded; charset=UTF-8"), kCrLf,
                    std::string_view("Referer: "), base, std::string_view(service_paths::kLoginPage), kCrLf,
                    kUpgradeInsecure);
  page = ConcatTexts(std::string_view(kPageUserAgent), kCrLf, kPageAccept, kCrLf, kUpgradeInsecure);
  captcha = ConcatTexts(std::string_view("Referer:"), base, std::string_view(service_paths::kLoginPage), kCrLf, page);
  passenger = ConcatTexts(std::string_view("Referer: "), base, std::string_view(service_paths::kOrderPage), kCrLf,
                          kPageUserAgent);
  query = ConcatTexts(std::string_view("Referer: "), base, std::string_view(service_paths::kLeftTicketPage));
}

std::string LoginBody(const std::string& userName, const std::string& password, const std::string& captchaAnswer) {
  return ConcatTexts(std::string_view("loginUserDTO.user_name="), UrlEncode(userName),
                     std::string_view("&userDTO.password="), UrlEncode(password), std::string_view("&randCode="),
                     captchaAnswer);
}

std::string QrSignInContent(const std::string& uuid) { return service_paths::kQrContentPrefix + uuid; }

std::string StationQueryValue(std::string_view station) {
  const int bar = FindTextBackward(station, "|");
  if (bar == kNotFound) return std::string(station);
  return std::string(station.substr(static_cast<std::size_t>(bar)));
}

std::string LeftTicketQueryPath(const std::string& trainDate, const std::string& fromStation,
                                const std::string& toStation, bool studentPurpose, std::string_view queryPath) {
  return ConcatTexts(queryPath, std::string_view("?leftTicketDTO.train_date="), trainDate,
                     std::string_view("&leftTicketDTO.from_station="), UrlEncode(fromStation),
                     std::string_view("&leftTicketDTO.to_station="), UrlEncode(toStation),
                     std::string_view(studentPurpose ? "&purpose_codes=0X00" : "&purpose_codes=ADULT"));
}

std::string PassengerTicketText(const std::string& seatType, const std::string& ticketType,
                                const std::string& passengerName, const std::string& idType, const std::string& idNo) {
  return UrlEncode(ConcatTexts(seatType, std::string_view(",0,"), ticketType, std::string_view(","), passengerName,
                               std::string_view(","), idType, std::string_view(","), idNo, std::string_view(",,N")));
}

std::string OldPassengerText(const std::string& passengerName, const std::string& idType, const std::string& idNo,
                             const std::string& passengerType) {
  return UrlEncode(ConcatTexts(passengerName, std::string_view(","), idType, std::string_view(","), idNo,
                               std::string_view(","), passengerType)) +
         "_";
}

}  // namespace quillet
