#include "cli/terminal_sign_in.h"

#include <array>
#include <chrono>
#include <string>

#include "booking/captcha_cells.h"
#include "cli/captcha_answer.h"
#include "cli/captcha_picture.h"
#include "util/codepage.h"

namespace quillet::cli {
namespace {

constexpr int kPictureColumns = 60;

void ShowPicture(const std::string& jpeg, SignInIo& io) {
  if (const auto image = DecodeJpeg(jpeg)) {
    io.prompts << DrawForTerminal(*image, io.environment, kPictureColumns) << "\n";
  } else {
    io.prompts << "(the captcha picture cannot be drawn here)\n";
  }
  // Only into a folder of the user's own: a picture elsewhere would be anyone's to read.
  const SavedPicture saved = io.pictureFolder.empty() ? SavedPicture{{}, "(the picture is not saved to a file)"}
                                                      : SaveCaptchaPicture(jpeg, io.pictureFolder);
  if (saved.path.empty()) {
    io.prompts << saved.error << "\n";
  } else {
    io.prompts << "captcha picture saved to " << saved.path << "\n";
  }
  io.prompts << "cells are numbered 1 2 3 4 on the top row and 5 6 7 8 below\n" << std::flush;
}

}  // namespace

std::string TransportProblem(ExchangeOutcome outcome) {
  switch (outcome) {
    case ExchangeOutcome::kOk:
      return "the answer was not one it knows";
    case ExchangeOutcome::kCouldNotConnect:
      return "the service cannot be reached";
    case ExchangeOutcome::kTimedOut:
      return "the service stopped answering";
    case ExchangeOutcome::kDeadlinePassed:
      return "the answer did not arrive in time (an exchange may take " +
             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(ExchangeOptions{}.deadline).count()) +
             " s)";
    case ExchangeOutcome::kTlsFailure:
      return "the secure connection failed";
    case ExchangeOutcome::kTooLarge:
      return "the answer was too large";
    case ExchangeOutcome::kStopped:
      return "stopped";
    case ExchangeOutcome::kOther:
      break;
  }
  return "the exchange failed";
}

SignInOutcome SignInWithCaptcha(Session& session, const std::string& account, const std::string& password,
                                SignInIo& io) {
  const SignInOutcome stopped{false, "stopped", true};
  for (;;) {
    const CaptchaResult captcha = session.FetchCaptcha(io.stop);
    if (io.stop.stop_requested()) return stopped;
    if (!captcha.Done() || captcha.picture.empty()) {
      return {false, "cannot fetch the captcha picture from the service" +
                         (captcha.Done() ? std::string() : ": " + TransportProblem(captcha.transport))};
    }
    if (io.drawPicture) ShowPicture(captcha.picture, io);
    const CaptchaCellsResult cells = ReadCaptchaCells(io.answers, io.prompts, io.interactive);
    if (io.stop.stop_requested()) return stopped;
    if (!cells.error.empty()) return {false, cells.error};

    std::array<bool, 8> marked{};
    for (int cell : cells.cells) marked[static_cast<std::size_t>(cell - 1)] = true;
    const ServiceResult result =
        session.SignIn(account, password, BuildCaptchaAnswer(CaptchaCellPoints(), marked), io.stop);
    if (io.stop.stop_requested()) return stopped;
    if (result.Done()) return {true, {}};
    if (result.kind != ServiceResultKind::kCaptchaRefused) {
      return {false, "sign-in refused: " +
                         (result.message.empty() ? std::string("no reason given") : Utf8FromGbk(result.message))};
    }
    io.prompts << "wrong captcha answer; here is a new picture\n" << std::flush;
  }
}

}  // namespace quillet::cli
