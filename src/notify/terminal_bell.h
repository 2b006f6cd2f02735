#pragma once
// Rings the terminal bell on a booking (quillet-grab).
#include "notify/notifier.h"

namespace quillet {

class TerminalBell : public Notifier {
 public:
  explicit TerminalBell(int fd) : fd_(fd) {}

  std::string_view Name() const override { return "bell"; }
  // Writes "\a" to the fd when it is a terminal; bookings only.
  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override;

 private:
  int fd_;
};

}  // namespace quillet
