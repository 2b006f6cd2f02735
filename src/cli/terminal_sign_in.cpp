#include "cli/terminal_sign_in.h"

#include <array>
#include <chrono>
#include <string>

#include "booking/captcha_cells.h"
#include "cli/captcha_answer.h"
#include "cli/captcha_picture.h"
#include "util/codepage.h"
#include "util/messages.h"

namespace quillet::cli {
namespace {

constexpr int kPictureColumns = 60;

void ShowPicture(const std::string& jpeg, SignInIo& io) {
  if (const auto image = DecodeJpeg(jpeg)) {
    io.prompts << DrawForTerminal(*image, io.environment, kPictureColumns) << "\n";
  } else {
    io.prompts << _("(the captcha picture cannot be drawn here)") << "\n";
  }
  // Only into a folder of the user's own: a picture elsewhere would be anyone's to read.
  const SavedPicture saved = io.pictureFolder.empty() ? SavedPicture{{}, "(the picture is not saved to a file)"}
                                                      : SaveCaptchaPicture(jpeg, io.pictureFolder);
  if (saved.path.empty()) {
    io.prompts << saved.error << "\n";
  } else {
    io.prompts << Format(_("captcha picture saved to %s"), saved.path) << "\n";
  }
  io.prompts << _("cells are numbered 1 2 3 4 on the top row and 5 6 7 8 below") << "\n" << std::flush;
}

const char* StepName(SignInStep step) {
  switch (step) {
    case SignInStep::kLoginPage:
      return _("the login page");
    case SignInStep::kCaptchaPicture:
      return _("the captcha picture");
    case SignInStep::kCaptchaCheck:
      return _("the captcha check");
    case SignInStep::kLogin:
      return _("the login");
    case SignInStep::kLoginConfirm:
      return _("the confirmation of the login");
    case SignInStep::kOrderPage:
      return _("the order page (for the passenger list)");
    case SignInStep::kPassengerList:
      return _("the passenger list");
  }
  return _("a sign-in step");
}

}  // namespace

std::string TransportProblem(ExchangeOutcome outcome) {
  switch (outcome) {
    case ExchangeOutcome::kOk:
      return _("the answer was not one it knows");
    case ExchangeOutcome::kCouldNotConnect:
      return _("the service cannot be reached");
    case ExchangeOutcome::kTimedOut:
      return _("the service stopped answering");
    case ExchangeOutcome::kDeadlinePassed:
      return Format(
          _("the answer did not arrive in time (an exchange may take %s s)"),
          std::to_string(std::chrono::duration_cast<std::chrono::seconds>(ExchangeOptions{}.deadline).count()));
    case ExchangeOutcome::kTlsFailure:
      return _("the secure connection failed");
    case ExchangeOutcome::kTooLarge:
      return _("the answer was too large");
    case ExchangeOutcome::kStopped:
      return _("stopped");
    case ExchangeOutcome::kOther:
      break;
  }
  return _("the exchange failed");
}

std::string SignInFailureText(const ServiceResult& result, const SignInStepOutcome& at) {
  const std::string step = StepName(at.step);
  const std::string tries = Format(_(" (tried %s times)"), std::to_string(BookingClient::kSignInTries));
  switch (result.kind) {
    case ServiceResultKind::kDone:
      return Format(_("%s: done"), step);
    case ServiceResultKind::kStopped:
      return Format(_("%s: stopped"), step);
    case ServiceResultKind::kTransportFailure:
      return Format(_("%s: no answer: %s"), step, TransportProblem(result.transport)) +
             (result.transport == ExchangeOutcome::kDeadlinePassed ? std::string() : tries);
    case ServiceResultKind::kNoValidAnswer:
      return Format(_("%s: the service's answer is not one it gives"), step) +
             (at.httpStatus != 0 && at.httpStatus != 200 ? Format(_(" (HTTP status %s)"), std::to_string(at.httpStatus))
                                                         : std::string()) +
             tries;
    case ServiceResultKind::kCaptchaRefused:
      return Format(_("%s: wrong captcha answer"), step);
    case ServiceResultKind::kRefused:
      break;
  }
  const std::string& reason = at.serviceMessage.empty() ? result.message : at.serviceMessage;
  return Format(_("%s: refused: %s"), step, reason.empty() ? std::string(_("no reason given")) : Utf8FromGbk(reason));
}

SignInOutcome SignInWithCaptcha(Session& session, const std::string& account, const std::string& password,
                                SignInIo& io) {
  const SignInOutcome stopped{false, "stopped", true};
  for (;;) {
    const CaptchaResult captcha = session.FetchCaptcha(io.stop);
    if (io.stop.stop_requested()) return stopped;
    if (!captcha.Done() || captcha.picture.empty()) {
      return {false, Format(_("cannot fetch the captcha picture: %s"), SignInFailureText(captcha, captcha.decidedBy))};
    }
    if (io.onPicture) io.onPicture(captcha.picture);
    if (io.drawPicture) ShowPicture(captcha.picture, io);
    const CaptchaCellsResult cells = ReadCaptchaCells(io.answers, io.prompts, io.interactive);
    if (io.stop.stop_requested()) return stopped;
    if (!cells.error.empty()) return {false, cells.error};

    std::array<bool, 8> marked{};
    for (int cell : cells.cells) marked[static_cast<std::size_t>(cell - 1)] = true;
    const LoginResult result =
        session.SignIn(account, password, BuildCaptchaAnswer(CaptchaCellPoints(), marked), io.stop);
    if (io.stop.stop_requested()) return stopped;
    if (result.Done()) return {true, {}};
    if (result.kind != ServiceResultKind::kCaptchaRefused) {
      return {false, Format(_("cannot sign in: %s"), SignInFailureText(result, result.decidedBy))};
    }
    io.prompts << _("wrong captcha answer; here is a new picture") << "\n" << std::flush;
  }
}

}  // namespace quillet::cli
