#pragma once
// One way of telling the person about an event.
#include <stop_token>
#include <string>
#include <string_view>

#include "notify/notify_event.h"

namespace quillet {

enum class DeliveryOutcome {
  kDelivered,
  kFailed,   // worth a line in the log; `detail` says why
  kSkipped,  // not for this kind of event, or a failure already reported once
};

struct DeliveryResult {
  DeliveryOutcome outcome = DeliveryOutcome::kSkipped;
  std::string detail;  // program text (GBK)
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
