#include "notify/sound_notifier.h"

#include <canberra.h>

#include "notify/notification_text.h"
#include "notify/texts.h"

namespace quillet {

SoundNotifier::SoundNotifier() = default;

SoundNotifier::~SoundNotifier() {
  if (context_ != nullptr) ca_context_destroy(context_);
}

DeliveryResult SoundNotifier::Deliver(const NotifyEvent& event, std::stop_token stop) {
  if (event.kind != NotifyEventKind::kBooked || stop.stop_requested()) return {DeliveryOutcome::kSkipped, {}};
  int result = CA_SUCCESS;
  if (context_ == nullptr) {
    result = ca_context_create(&context_);
    if (result == CA_SUCCESS) {
      result = ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, kNotificationAppName,
                                       CA_PROP_APPLICATION_ICON_NAME, kNotificationIcon, nullptr);
    }
  }
  if (result == CA_SUCCESS) {
    // Plays in the background; the context stays so the sound is not cut off.
    result = ca_context_play(context_, 0, CA_PROP_EVENT_ID, "complete", nullptr);
  }
  if (result == CA_SUCCESS) {
    failureReported_ = false;
    return {DeliveryOutcome::kDelivered, {}};
  }
  if (failureReported_) return {DeliveryOutcome::kSkipped, {}};
  failureReported_ = true;
  return {DeliveryOutcome::kFailed, notify_texts::NoSound() + ca_strerror(result)};
}

}  // namespace quillet
