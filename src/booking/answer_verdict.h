#pragma once
// What one answer of the service says, as a kind the program acts on, with
// the service's own words as data.
#include <string>

namespace quillet {

enum class AnswerKind {
  kAccepted,              // the service did what was asked
  kRefused,               // the service said no; the reason is its words (possibly none)
  kNotSignedIn,           // refused: the service no longer knows the sign-in
  kUnpaidOrderPending,    // refused: the account still holds an order that is not paid
  kServiceClosed,         // refused: the service is closed for its nightly maintenance
  kQueueLongerThanStock,  // the queue count: more people wait than tickets are left
  kNoTicketsCounted,      // the queue count: the answer counts no tickets
  kNoValidAnswer,         // none the request knows: empty, cut, garbled or foreign
};

struct AnswerVerdict {
  AnswerKind kind = AnswerKind::kNoValidAnswer;
  std::string reason;  // the service's words (program text); empty when it gave none

  bool Accepted() const { return kind == AnswerKind::kAccepted; }
  // Any kind of the service saying no.
  bool Refusal() const { return kind != AnswerKind::kAccepted && kind != AnswerKind::kNoValidAnswer; }
  bool operator==(const AnswerVerdict&) const = default;
};

}  // namespace quillet
