#include "cli/qr_sign_in.h"

#include <optional>
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

// Saves the code's picture; `before` starts each note (an account's name).
QrCodeShown SavePicture(const QrCodeResult& code, QrSignInIo& io, const std::string& before) {
  QrCodeShown shown{code.uuid, code.content, {}};
  if (code.picture.empty()) {
    io.prompts << before << "the service sent no readable QR picture\n";
  } else {
    const PrivateFolder::Saved saved = io.pictures.Save(code.picture, "quillet-qr", ".png");
    if (saved.path.empty()) {
      io.prompts << before << saved.error << "\n";
    } else {
      io.prompts << before << "QR code picture saved to " << saved.path << "\n";
      shown.picturePath = saved.path;
    }
  }
  return shown;
}

QrCodeShown Show(const QrCodeResult& code, QrSignInIo& io) {
  if (io.draw) {
    if (const auto drawing = DrawQrCode(code.content, io.colour)) {
      io.prompts << *drawing;
    } else {
      io.prompts << "(the QR code cannot be drawn here)\n";
    }
  }
  QrCodeShown shown = SavePicture(code, io, {});
  io.prompts << "scan with the railway app and confirm\n" << std::flush;
  return shown;
}

enum class CodeEnd { kWaiting, kSignedIn, kNewCode, kFailed, kStopped };

// What one code has told so far.
struct CodeWatch {
  bool scannedTold = false;
  int silentPolls = 0;
};

// One poll of a code: still waiting, confirmed (and the session signed
// in), to be replaced, or failed. `before` starts each note.
CodeEnd PollCode(Session& session, const QrCodeResult& code, CodeWatch& watch, QrSignInIo& io,
                 const std::string& before, std::string& error) {
  const QrStateResult check = session.CheckQrCode(code.uuid);
  if (!check.Done()) return ++watch.silentPolls >= kSilentPollsBeforeNewCode ? CodeEnd::kNewCode : CodeEnd::kWaiting;
  watch.silentPolls = 0;
  switch (check.state) {
    case QrCodeState::kWaiting:
      return CodeEnd::kWaiting;
    case QrCodeState::kScanned:
      if (!watch.scannedTold) io.prompts << before << "scanned; confirm the sign-in on the phone\n" << std::flush;
      watch.scannedTold = true;
      return CodeEnd::kWaiting;
    case QrCodeState::kExpired:
    case QrCodeState::kUnknown:
      io.prompts << before << "the QR code has expired; here is a new one\n" << std::flush;
      return CodeEnd::kNewCode;
    case QrCodeState::kRefused:
      error = "the sign-in was refused on the phone: " + ServiceWords(check.message, "no reason given");
      return CodeEnd::kFailed;
    case QrCodeState::kConfirmed: {
      const ServiceResult signedIn = session.FinishQrSignIn();
      if (signedIn.Done()) return CodeEnd::kSignedIn;
      error = "the service did not accept the confirmed QR code: " + ServiceWords(signedIn.message, "no reason given");
      return CodeEnd::kFailed;
    }
  }
  return CodeEnd::kWaiting;
}

// Polls one code until it is confirmed (and the session signed in), needs
// replacing, fails or the wait is stopped.
CodeEnd FollowCode(Session& session, const QrCodeResult& code, QrSignInIo& io, std::string& error) {
  CodeWatch watch;
  Clock::time_point nextPoll = Clock::now() + io.pollInterval;
  for (;;) {
    if (!WaitUntil(nextPoll, io)) return CodeEnd::kStopped;
    nextPoll = Clock::now() + io.pollInterval;
    const CodeEnd end = PollCode(session, code, watch, io, {}, error);
    if (end != CodeEnd::kWaiting) return end;
  }
}

// A code from the service, asked again after a failure as io says; nothing
// after too many failures (`error` says why) or a stop.
std::optional<QrCodeResult> NewCode(Session& session, QrSignInIo& io, const std::string& before, std::string& error,
                                    bool& stopped) {
  int failedCreations = 0;
  for (;;) {
    if (io.stopRequested && io.stopRequested()) {
      stopped = true;
      return std::nullopt;
    }
    QrCodeResult code = session.CreateQrCode();
    if (code.Done()) return code;
    const std::string reason =
        "cannot get a QR code from the service: " + ServiceWords(code.message, "no valid answer");
    if (io.creationAttempts > 0 && ++failedCreations >= io.creationAttempts) {
      error = reason;
      return std::nullopt;
    }
    io.prompts << before << reason << "; trying again\n" << std::flush;
    if (!WaitUntil(Clock::now() + io.creationRetryWait, io)) {
      stopped = true;
      return std::nullopt;
    }
  }
}

}  // namespace

QrSignInOutcome SignInWithQr(Session& session, QrSignInIo& io) {
  std::string shownPicture;
  const auto finish = [&](QrSignInOutcome result) {
    io.pictures.Remove(shownPicture);
    return result;
  };
  for (;;) {
    std::string error;
    bool stopped = false;
    const std::optional<QrCodeResult> code = NewCode(session, io, {}, error, stopped);
    if (stopped) return finish({{false, "stopped"}, true});
    if (!code) return finish({{false, error}, false});
    io.pictures.Remove(shownPicture);
    const QrCodeShown shown = Show(*code, io);
    shownPicture = shown.picturePath;
    if (io.onCode) io.onCode(shown);
    switch (FollowCode(session, *code, io, error)) {
      case CodeEnd::kWaiting:  // FollowCode does not end waiting
      case CodeEnd::kNewCode:
        continue;
      case CodeEnd::kSignedIn:
        io.prompts << "signed in\n" << std::flush;
        return finish({{true, {}}, false});
      case CodeEnd::kFailed:
        return finish({{false, error}, false});
      case CodeEnd::kStopped:
        return finish({{false, "stopped"}, true});
    }
  }
}

QrSignInOutcome SignInAllWithQr(std::vector<QrAccount>& accounts, QrSignInIo& io) {
  struct Waiting {
    QrAccount* account;
    QrCodeResult code;
    CodeWatch watch;
    std::string picture;
    std::string before;  // "[name] "
  };
  std::vector<Waiting> waiting;
  const auto finish = [&](QrSignInOutcome result) {
    for (const Waiting& w : waiting) io.pictures.Remove(w.picture);
    return result;
  };
  // A code for the account (replacing its picture), told as shown; false
  // when none can be had.
  std::string error;
  bool stopped = false;
  const auto renew = [&](Waiting& w) {
    std::optional<QrCodeResult> code = NewCode(*w.account->session, io, w.before, error, stopped);
    if (!code) return false;
    w.code = std::move(*code);
    w.watch = {};
    io.pictures.Remove(w.picture);
    const QrCodeShown shown = SavePicture(w.code, io, w.before);
    w.picture = shown.picturePath;
    if (w.account->onCode) w.account->onCode(shown);
    return true;
  };
  const auto fail = [&](const Waiting& w) {
    return finish({{false, stopped ? std::string("stopped") : "[" + w.account->name + "] " + error}, stopped});
  };
  const auto draw = [&] {
    if (!io.draw) return;
    std::vector<CaptionedQr> codes;
    for (const Waiting& w : waiting) codes.push_back({w.account->name, w.code.content});
    if (const auto drawing = DrawQrCodesSideBySide(codes, io.colour)) {
      io.prompts << *drawing;
    } else {
      io.prompts << "(the QR codes cannot be drawn here)\n";
    }
    io.prompts << "scan each code with the railway app of the account above it and confirm\n" << std::flush;
  };

  for (QrAccount& account : accounts) waiting.push_back({&account, {}, {}, {}, "[" + account.name + "] "});
  for (Waiting& w : waiting) {
    if (!renew(w)) return fail(w);
  }
  draw();
  Clock::time_point nextPoll = Clock::now() + io.pollInterval;
  while (!waiting.empty()) {
    if (!WaitUntil(nextPoll, io)) return finish({{false, "stopped"}, true});
    nextPoll = Clock::now() + io.pollInterval;
    bool redraw = false;
    for (auto w = waiting.begin(); w != waiting.end();) {
      switch (PollCode(*w->account->session, w->code, w->watch, io, w->before, error)) {
        case CodeEnd::kWaiting:
        case CodeEnd::kStopped:
          ++w;
          break;
        case CodeEnd::kNewCode:
          if (!renew(*w)) return fail(*w);
          redraw = true;
          ++w;
          break;
        case CodeEnd::kFailed:
          return fail(*w);
        case CodeEnd::kSignedIn:
          io.prompts << w->before << "signed in\n" << std::flush;
          io.pictures.Remove(w->picture);
          w = waiting.erase(w);
          break;
      }
    }
    if (redraw && !waiting.empty()) draw();
  }
  return finish({{true, {}}, false});
}

}  // namespace quillet::cli
