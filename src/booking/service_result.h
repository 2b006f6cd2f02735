#pragma once
// What a service operation came to, as a kind the program acts on plus the
// text it shows.
#include <string>

#include "booking/answer_verdict.h"
#include "net/http.h"

namespace quillet {

enum class ServiceResultKind {
  kDone,              // the service did what was asked
  kRefused,           // the service said no; `answer` says about what, `message` holds its reason (or a fixed text)
  kCaptchaRefused,    // the captcha answer did not pass its check
  kNoValidAnswer,     // an answer came but it is not one the operation knows
  kTransportFailure,  // no answer: see `transport`
  kStopped,           // the caller's stop token ended the operation
};

struct ServiceResult {
  ServiceResultKind kind = ServiceResultKind::kNoValidAnswer;
  // The program's text for the outcome, unchanged from what the window has
  // always shown: "成功", the service's message or a fixed reason.
  std::string message;
  ExchangeOutcome transport = ExchangeOutcome::kOk;  // of the exchange that decided the result
  // What the deciding answer said (kNoValidAnswer without one): a refusal's
  // kind (kNotSignedIn, kUnpaidOrderPending ...) and the service's words.
  AnswerVerdict answer;

  bool Done() const { return kind == ServiceResultKind::kDone; }
};

}  // namespace quillet
