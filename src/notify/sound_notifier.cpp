#include "notify/sound_notifier.h"

#include <alsa/asoundlib.h>
#include <canberra.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

#include "notify/notification_text.h"
#include "notify/texts.h"

namespace quillet {
namespace {

// ALSA writes its diagnostics ("ALSA lib pcm.c:2666:(snd_pcm_open_noupdate)
// Unknown PCM default", nine of them without a sound card) straight to
// standard error, where they would break quillet-grab's lines; the failure
// is reported once as a result instead.
void IgnoreAlsaDiagnostic(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&IgnoreAlsaDiagnostic); });
}

bool IsSocket(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

bool SoundOutputExists() {
  if (const char* server = std::getenv("PULSE_SERVER"); server != nullptr && *server != '\0') return true;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    for (const char* socket : {"/pulse/native", "/pipewire-0"}) {
      if (IsSocket(std::string(runtime) + socket)) return true;
    }
  }
  // A card's line begins with its number: " 0 [PCH            ]: HDA-Intel ...";
  // without one the file says "--- no soundcards ---" or is not there.
  std::ifstream cards("/proc/asound/cards");
  std::string line;
  while (std::getline(cards, line)) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos && line[first] >= '0' && line[first] <= '9') return true;
  }
  return false;
}

SoundNotifier::SoundNotifier(std::function<bool()> outputExists) : outputExists_(std::move(outputExists)) {}

SoundNotifier::~SoundNotifier() {
  if (context_ != nullptr) ca_context_destroy(context_);
}

DeliveryResult SoundNotifier::Deliver(const NotifyEvent& event, std::stop_token stop) {
  if (event.kind != NotifyEventKind::kBooked || stop.stop_requested()) return {DeliveryOutcome::kSkipped, {}};
  if (outputKnown_ < 0) outputKnown_ = outputExists_ && outputExists_() ? 1 : 0;
  if (outputKnown_ == 0) return {DeliveryOutcome::kSkipped, {}};
  SilenceAlsa();
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
  if (result == CA_SUCCESS) return {DeliveryOutcome::kDelivered, {}};
  if (failureReported_) return {DeliveryOutcome::kSkipped, {}};
  failureReported_ = true;
  return {DeliveryOutcome::kFailed, notify_texts::NoSound() + ca_strerror(result),
          DeliveryFailure(DeliveryFailure::Kind::kNoSound, 0, ca_strerror(result))};
}

}  // namespace quillet
