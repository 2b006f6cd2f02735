#pragma once
// The desktop sound theme's "complete" sound (libcanberra) on a booking.
#include <functional>

#include "notify/notifier.h"

struct ca_context;

namespace quillet {

// Whether this machine has somewhere to play a sound: a sound server's
// socket (PulseAudio, PipeWire) or a sound card.
bool SoundOutputExists();

class SoundNotifier : public Notifier {
 public:
  explicit SoundNotifier(std::function<bool()> outputExists = SoundOutputExists);
  ~SoundNotifier() override;
  SoundNotifier(const SoundNotifier&) = delete;
  SoundNotifier& operator=(const SoundNotifier&) = delete;

  std::string_view Name() const override { return "sound"; }
  // Bookings only. Skipped where there is no sound output at all; any other
  // failure is reported once for the notifier's lifetime. The sound
  // library's own diagnostics never reach standard error.
  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override;

 private:
  std::function<bool()> outputExists_;
  int outputKnown_ = -1;  // -1 not asked yet, else 0 or 1
  ca_context* context_ = nullptr;
  bool failureReported_ = false;
};

}  // namespace quillet
