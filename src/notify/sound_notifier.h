#pragma once
// The desktop sound theme's "complete" sound (libcanberra) on a booking.
#include "notify/notifier.h"

struct ca_context;

namespace quillet {

class SoundNotifier : public Notifier {
 public:
  SoundNotifier();
  ~SoundNotifier() override;
  SoundNotifier(const SoundNotifier&) = delete;
  SoundNotifier& operator=(const SoundNotifier&) = delete;

  std::string_view Name() const override { return "sound"; }
  // Bookings only. Without a sound server or theme the failure is reported
  // once.
  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override;

 private:
  ca_context* context_ = nullptr;
  bool failureReported_ = false;
};

}  // namespace quillet
