// QR sign-in: the passport service makes a code, tells its state while the
// phone scans and confirms it, and turns the confirmation into a session.
//   create-qr64 -> {"uuid","image"}        checkqr -> result_code per state,
//   the confirmed state sets uamtk;        auth/uamtk -> newapptk;
//   uamauthclient (tk=newapptk) -> the otn session is signed in (tk cookie).
#include "answers.h"
#include "booking_service.h"
#include "qr_picture.h"

namespace quillet::sim {

namespace {

std::string RandomToken(Rng& rng, int length) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  for (int i = 0; i < length; ++i) out.push_back(kChars[rng.Below(sizeof kChars - 1)]);
  return out;
}

// The passport's answers are flat JSON objects with a result code and message.
SimResponse PassportAnswer(const std::string& resultCode, const std::string& message, const std::string& more = {}) {
  return SimResponse{
      200,
      kJsonType,
      "{\"result_message\":" + JsonStringFromUtf8(message) + ",\"result_code\":\"" + resultCode + "\"" + more + "}",
      {}};
}

std::string JsonError(const std::string& text) { return "{\"error\":" + JsonStringFromUtf8(text) + "}"; }

const char* StateName(QrCodeState state) {
  switch (state) {
    case QrCodeState::kWaiting:
      return "waiting";
    case QrCodeState::kScanned:
      return "scanned";
    case QrCodeState::kConfirmed:
      return "confirmed";
    case QrCodeState::kRefused:
      return "refused";
  }
  return "waiting";
}

constexpr char kDeletedPassportCookie[] = "=deleted; Expires=Thu, 01-Jan-1970 00:00:01 GMT; Path=/passport";

}  // namespace

bool BookingService::QrExpired(const QrCode& code) const {
  if (code.state != QrCodeState::kWaiting && code.state != QrCodeState::kScanned) return false;
  return SteadyMs() - code.createdMs >= static_cast<std::int64_t>(options_.qrTtlSeconds * 1000);
}

SimResponse BookingService::CreateQrCode(const SimRequest& request) {
  if (Field(ParseForm(request.body), "appid") != "otn") return PassportAnswer("1", msg::kBadQuery);
  QrCode code;
  {
    Lock lock(mutex_);
    do {
      code.uuid = RandomToken(qrRng_, 32);
    } while (qrCodes_.count(code.uuid) != 0);
    code.createdMs = SteadyMs();
    qrCodes_.emplace(code.uuid, code);
  }
  // Drawn without the lock.
  const std::string png = QrCodePng(kQrContentPrefix + code.uuid);
  return PassportAnswer("0", msg::kQrCreated,
                        ",\"uuid\":" + JsonStringFromUtf8(code.uuid) + ",\"image\":\"" + Base64Encode(png) + "\"");
}

SimResponse BookingService::CheckQrCode(const SimRequest& request) {
  const FormFields form = ParseForm(request.body);
  Lock lock(mutex_);
  const auto it = qrCodes_.find(Field(form, "uuid"));
  if (it == qrCodes_.end()) return PassportAnswer(qr_result::kUnknown, msg::kQrUnknown);
  const QrCode& code = it->second;
  if (QrExpired(code)) return PassportAnswer(qr_result::kExpired, msg::kQrExpired);
  switch (code.state) {
    case QrCodeState::kWaiting:
      return PassportAnswer(qr_result::kWaiting, msg::kQrWaiting);
    case QrCodeState::kScanned:
      return PassportAnswer(qr_result::kScanned, msg::kQrScanned);
    case QrCodeState::kRefused:
      return PassportAnswer(qr_result::kRefused, msg::kQrRefused);
    case QrCodeState::kConfirmed:
      break;
  }
  SimResponse response = PassportAnswer(qr_result::kConfirmed, msg::kQrConfirmed);
  response.headers.emplace_back("Set-Cookie", "uamtk=" + code.uamtk + "; Path=/passport");
  return response;
}

SimResponse BookingService::PassportToken(const SimRequest& request) {
  Lock lock(mutex_);
  for (const auto& [name, value] : ParseCookieHeader(request.cookieHeader)) {
    if (name != "uamtk") continue;
    const auto it = passportTokens_.find(value);
    if (it == passportTokens_.end()) continue;
    const std::string account = it->second;
    // A passport token is exchanged once.
    passportTokens_.erase(it);
    std::string appToken;
    do {
      appToken = RandomToken(qrRng_, 43);
    } while (appTokens_.count(appToken) != 0);
    appTokens_.emplace(appToken, account);
    SimResponse response =
        PassportAnswer("0", msg::kTokenAccepted, ",\"apptk\":null,\"newapptk\":" + JsonStringFromUtf8(appToken));
    response.headers.emplace_back("Set-Cookie", std::string("uamtk") + kDeletedPassportCookie);
    return response;
  }
  return PassportAnswer("1", msg::kTokenRefused);
}

SimResponse BookingService::AuthClient(const SimRequest& request) {
  const std::string appToken = Field(ParseForm(request.body), "tk");
  Lock lock(mutex_);
  const auto it = appTokens_.find(appToken);
  if (appToken.empty() || it == appTokens_.end()) return PassportAnswer("2", msg::kTokenRefused);
  const std::string account = it->second;
  appTokens_.erase(it);
  SimResponse response;
  Session* session = FindSession(request.cookieHeader);
  if (session == nullptr) session = &NewSession(response);
  session->account = account;
  session->loggedIn = true;
  session->captcha.reset();
  session->captchaPassed = false;
  const SimResponse answer =
      PassportAnswer("0", msg::kTokenAccepted,
                     ",\"apptk\":" + JsonStringFromUtf8(appToken) + ",\"username\":" + JsonStringFromUtf8(account));
  response.status = answer.status;
  response.contentType = answer.contentType;
  response.body = answer.body;
  response.headers.emplace_back("Set-Cookie", "tk=" + appToken + "; Path=/otn");
  return response;
}

int BookingService::ScanQrCode(const QrScan& scan, std::string& answer) {
  Lock lock(mutex_);
  const auto it = qrCodes_.find(scan.id);
  if (it == qrCodes_.end()) {
    answer = JsonError("unknown code");
    return 404;
  }
  QrCode& code = it->second;
  if (QrExpired(code)) {
    answer = JsonError("the code has expired");
    return 409;
  }
  if (code.state == QrCodeState::kConfirmed || code.state == QrCodeState::kRefused) {
    answer = JsonError(std::string("the code is already ") + StateName(code.state));
    return 409;
  }
  if (accounts_.Find(scan.account) == nullptr) {
    answer = JsonError("unknown account");
    return 400;
  }
  if (code.state == QrCodeState::kScanned && code.account != scan.account) {
    answer = JsonError("the code was scanned for another account");
    return 409;
  }
  code.account = scan.account;
  code.state = QrCodeState::kScanned;
  if (scan.confirm) {
    code.state = *scan.confirm ? QrCodeState::kConfirmed : QrCodeState::kRefused;
    if (*scan.confirm) {
      code.uamtk = RandomToken(qrRng_, 43);
      passportTokens_.emplace(code.uamtk, code.account);
    }
  }
  answer = "{\"id\":" + JsonStringFromUtf8(code.uuid) + ",\"account\":" + JsonStringFromUtf8(code.account) +
           ",\"state\":\"" + StateName(code.state) + "\"}";
  return 200;
}

}  // namespace quillet::sim
