#include "cli/terminal_sign_in.h"

#include <array>

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
  const SavedPicture saved = SaveCaptchaPicture(jpeg, io.pictureFolder);
  if (saved.path.empty()) {
    io.prompts << saved.error << "\n";
  } else {
    io.prompts << Format(_("captcha picture saved to %s"), saved.path) << "\n";
  }
  io.prompts << _("cells are numbered 1 2 3 4 on the top row and 5 6 7 8 below") << "\n" << std::flush;
}

}  // namespace

SignInOutcome SignInWithCaptcha(Session& session, const std::string& account, const std::string& password,
                                SignInIo& io) {
  for (;;) {
    const CaptchaResult captcha = session.FetchCaptcha();
    if (!captcha.Done() || captcha.picture.empty()) {
      return {false, _("cannot fetch the captcha picture from the service")};
    }
    if (io.drawPicture) ShowPicture(captcha.picture, io);
    const CaptchaCellsResult cells = ReadCaptchaCells(io.answers, io.prompts, io.interactive);
    if (!cells.error.empty()) return {false, cells.error};

    std::array<bool, 8> marked{};
    for (int cell : cells.cells) marked[static_cast<std::size_t>(cell - 1)] = true;
    const ServiceResult result = session.SignIn(account, password, BuildCaptchaAnswer(CaptchaCellPoints(), marked));
    if (result.Done()) return {true, {}};
    if (result.kind != ServiceResultKind::kCaptchaRefused) {
      return {false, Format(_("sign-in refused: %s"),
                            result.message.empty() ? std::string(_("no reason given")) : Utf8FromGbk(result.message))};
    }
    io.prompts << _("wrong captcha answer; here is a new picture") << "\n" << std::flush;
  }
}

}  // namespace quillet::cli
