#pragma once
// One way of telling the person about an event.
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>

#include "notify/notify_event.h"

namespace quillet {

enum class DeliveryOutcome {
  kDelivered,
  kFailed,   // worth a line in the log; `detail` says why
  kSkipped,  // not for this kind of event, or a failure already reported once
};

// Why a delivery failed, for a front end that words it in its own language.
struct DeliveryFailure {
  enum class Kind {
    kNone,
    kHttpStatus,      // number: the status; tries
    kNoAnswer,        // tries
    kCannotStart,     // systemText
    kExitStatus,      // number: the exit status
    kKilledBySignal,  // number: the signal
    kTimedOut,
    kNoSessionBus,
    kNoNotificationService,  // systemText, when the bus said more
    kNoSound,                // systemText: the sound library's reason
  };
  DeliveryFailure() = default;
  explicit DeliveryFailure(Kind k, long n = 0, std::string system = {})
      : kind(k), number(n), systemText(std::move(system)) {}
  Kind kind = Kind::kNone;
  long number = 0;
  int tries = 0;
  std::string systemText;  // UTF-8
};

struct DeliveryResult {
  DeliveryResult() = default;
  DeliveryResult(DeliveryOutcome o, std::string d, DeliveryFailure f = {})
      : outcome(o), detail(std::move(d)), failure(std::move(f)) {}
  DeliveryOutcome outcome = DeliveryOutcome::kSkipped;
  std::string detail;  // program text (GBK), as the window's log shows it
  DeliveryFailure failure;
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Short name for reports: "webhook", "command", "desktop", "sound", "bell".
  virtual std::string_view Name() const = 0;
  // Runs on a thread of the NotifierSet, never on the caller's, one event at
  // a time. Must give up soon once `stop` is requested.
  virtual DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) = 0;
};

}  // namespace quillet
