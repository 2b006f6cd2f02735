#include "cli/qr_sign_in.h"

#include <thread>

#include "cli/qr_drawing.h"
#include "util/codepage.h"

namespace quillet::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Polls that tell nothing (no answer, a foreign one) in a row before the
// code is given up and a new one made.
constexpr int kSilentPollsBeforeNewCode = 30;

// Sleeps until `until`, waking early for a stop; false when stopped.
bool WaitUntil(Clock::time_point until, const QrSignInIo& io) {
  for (;;) {
    if (io.stopRequested && io.stopRequested()) return false;
    const auto now = Clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(std::min<Clock::duration>(until - now, std::chrono::milliseconds(50)));
  }
}

std::string ServiceWords(const std::string& gbk, const char* fallback) {
  return gbk.empty() ? std::string(fallback) : Utf8FromGbk(gbk);
}

QrCodeShown Show(const QrCodeResult& code, QrSignInIo& io) {
  QrCodeShown shown{code.uuid, code.content, {}};
  if (io.draw) {
    if (const auto drawing = DrawQrCode(code.content, io.colour)) {
      io.prompts << *drawing;
    } else {
      io.prompts << "(the QR code cannot be drawn here)\n";
    }
  }
  if (code.picture.empty()) {
    io.prompts << "the service sent no readable QR picture\n";
  } else {
    const PrivateFolder::Saved saved = io.pictures.Save(code.picture, "quillet-qr", ".png");
    if (saved.path.empty()) {
      io.prompts << saved.error << "\n";
    } else {
      io.prompts << "QR code picture saved to " << saved.path << "\n";
      shown.picturePath = saved.path;
    }
  }
  io.prompts << "scan with the railway app and confirm\n" << std::flush;
  return shown;
}

enum class CodeEnd { kSignedIn, kNewCode, kFailed, kStopped };

// Polls one code until it is confirmed (and the session signed in), needs
// replacing, fails or the wait is stopped.
CodeEnd FollowCode(Session& session, const QrCodeResult& code, QrSignInIo& io, std::string& error) {
  bool scannedTold = false;
  int silentPolls = 0;
  Clock::time_point nextPoll = Clock::now() + io.pollInterval;
  for (;;) {
    if (!WaitUntil(nextPoll, io)) return CodeEnd::kStopped;
    nextPoll = Clock::now() + io.pollInterval;
    const QrStateResult check = session.CheckQrCode(code.uuid);
    if (!check.Done()) {
      if (++silentPolls >= kSilentPollsBeforeNewCode) return CodeEnd::kNewCode;
      continue;
    }
    silentPolls = 0;
    switch (check.state) {
      case QrCodeState::kWaiting:
        break;
      case QrCodeState::kScanned:
        if (!scannedTold) io.prompts << "scanned; confirm the sign-in on the phone\n" << std::flush;
        scannedTold = true;
        break;
      case QrCodeState::kExpired:
      case QrCodeState::kUnknown:
        io.prompts << "the QR code has expired; here is a new one\n" << std::flush;
        return CodeEnd::kNewCode;
      case QrCodeState::kRefused:
        error = "the sign-in was refused on the phone: " + ServiceWords(check.message, "no reason given");
        return CodeEnd::kFailed;
      case QrCodeState::kConfirmed: {
        const ServiceResult signedIn = session.FinishQrSignIn();
        if (signedIn.Done()) return CodeEnd::kSignedIn;
        error =
            "the service did not accept the confirmed QR code: " + ServiceWords(signedIn.message, "no reason given");
        return CodeEnd::kFailed;
      }
    }
  }
}

}  // namespace

QrSignInOutcome SignInWithQr(Session& session, QrSignInIo& io) {
  QrSignInOutcome outcome;
  int failedCreations = 0;
  std::string shownPicture;
  const auto finish = [&](QrSignInOutcome result) {
    io.pictures.Remove(shownPicture);
    return result;
  };
  for (;;) {
    if (io.stopRequested && io.stopRequested()) return finish({{false, "stopped"}, true});
    const QrCodeResult code = session.CreateQrCode();
    if (!code.Done()) {
      const std::string reason =
          "cannot get a QR code from the service: " + ServiceWords(code.message, "no valid answer");
      if (io.creationAttempts > 0 && ++failedCreations >= io.creationAttempts) return finish({{false, reason}, false});
      io.prompts << reason << "; trying again\n" << std::flush;
      if (!WaitUntil(Clock::now() + io.creationRetryWait, io)) return finish({{false, "stopped"}, true});
      continue;
    }
    failedCreations = 0;
    io.pictures.Remove(shownPicture);
    const QrCodeShown shown = Show(code, io);
    shownPicture = shown.picturePath;
    if (io.onCode) io.onCode(shown);
    std::string error;
    switch (FollowCode(session, code, io, error)) {
      case CodeEnd::kSignedIn:
        io.prompts << "signed in\n" << std::flush;
        return finish({{true, {}}, false});
      case CodeEnd::kNewCode:
        continue;
      case CodeEnd::kFailed:
        return finish({{false, error}, false});
      case CodeEnd::kStopped:
        return finish({{false, "stopped"}, true});
    }
  }
}

}  // namespace quillet::cli
