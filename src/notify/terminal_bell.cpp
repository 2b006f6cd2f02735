#include "notify/terminal_bell.h"

#include <unistd.h>

namespace quillet {

DeliveryResult TerminalBell::Deliver(const NotifyEvent& event, std::stop_token) {
  if (event.kind != NotifyEventKind::kBooked || !::isatty(fd_)) return {DeliveryOutcome::kSkipped, {}};
  // Nothing to report when the terminal refuses a bell.
  return {::write(fd_, "\a", 1) == 1 ? DeliveryOutcome::kDelivered : DeliveryOutcome::kSkipped, {}};
}

}  // namespace quillet
