#pragma once
// Signing in from a terminal or a script: the captcha picture is drawn (or,
// with captcha cells from standard input, only its answer is read), the
// cells are read, and a wrong answer fetches a new picture.
#include <functional>
#include <istream>
#include <ostream>
#include <stop_token>
#include <string>

#include "session/session.h"

namespace quillet::cli {

struct SignInIo {
  std::istream& answers;
  std::ostream& prompts;     // pictures, file paths, prompts and notes
  bool interactive = false;  // answers come from a terminal: a bad line is asked again
  bool drawPicture = true;
  const char* const* environment = nullptr;  // for the terminal's graphics
  std::string pictureFolder;                 // where each picture is also saved; empty: not saved
  std::stop_token stop;                      // ends the exchanges (the prompts end with `answers`)
  // Called with each picture (JPEG), e.g. to show it on the page as well.
  std::function<void(const std::string& jpeg)> onPicture = {};
};

struct SignInOutcome {
  bool signedIn = false;
  std::string error;     // plain text, set when not signed in
  bool stopped = false;  // `stop` ended it
};

// Why an exchange with the service brought no answer, for a message.
std::string TransportProblem(ExchangeOutcome outcome);

SignInOutcome SignInWithCaptcha(Session& session, const std::string& account, const std::string& password,
                                SignInIo& io);

// Plain text for a failed sign-in step: the step, and what really went
// wrong there (no answer and why, an answer the step does not know, or the
// service's own refusal).
std::string SignInFailureText(const ServiceResult& result, const SignInStepOutcome& at);

}  // namespace quillet::cli
