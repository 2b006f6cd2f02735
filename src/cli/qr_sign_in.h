#pragma once
// Signing in by QR code: the service makes a code, it is drawn in the
// terminal and saved as a picture, the person scans it with the railway's
// phone app and confirms, and the session is signed in. An expired code is
// replaced by a new one; a refusal on the phone ends the sign-in.
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/private_folder.h"
#include "cli/terminal_sign_in.h"
#include "session/session.h"

namespace quillet::cli {

// One code as it was shown.
struct QrCodeShown {
  std::string id;
  std::string content;      // what the code encodes: the address the phone app opens
  std::string picturePath;  // the saved picture; empty when it could not be saved
};

struct QrSignInIo {
  std::ostream& prompts;  // the drawing, the picture's path and the notes
  PrivateFolder& pictures;
  bool draw = true;     // draw each code in the terminal
  bool colour = false;  // the prompts go to a terminal: draw dark on light
  // Told of every code as it is shown (events, notifiers).
  std::function<void(const QrCodeShown&)> onCode;
  // Asked between polls; true ends the sign-in at once (a signal).
  std::function<bool()> stopRequested;
  std::chrono::milliseconds pollInterval{1000};  // at most one poll per interval
  // Codes the service could not make in a row before the sign-in gives up;
  // 0: never give up (an unattended run waits for the service to come back).
  int creationAttempts = 3;
  std::chrono::milliseconds creationRetryWait{10000};
};

struct QrSignInOutcome : SignInOutcome {
  bool stopped = false;  // stopRequested ended it
};

QrSignInOutcome SignInWithQr(Session& session, QrSignInIo& io);

// One of several accounts signed in together by QR code.
struct QrAccount {
  std::string name;  // UTF-8; above its code and before its notes
  Session* session = nullptr;
  std::function<void(const QrCodeShown&)> onCode;  // as QrSignInIo::onCode, for this account
};

// Signs every account in at once: their codes are drawn side by side, each
// under its account's name, and polled together, so the person scans them
// one after another with each account's phone. A code that expires is
// replaced and the codes still waiting are drawn again. Ends when every
// account is signed in, at the first that cannot be (refused on the phone,
// not accepted, no code to be had), or at a stop. io.onCode is not used.
QrSignInOutcome SignInAllWithQr(std::vector<QrAccount>& accounts, QrSignInIo& io);

}  // namespace quillet::cli
