#pragma once
// Which notifiers a front end sets up, from its options and plan.
#include <functional>
#include <string>
#include <vector>

#include "net/service_settings.h"
#include "notify/notifier_set.h"

namespace quillet {

struct NotifySettings {
  bool desktop = true;               // the desktop notification
  std::string desktopBus;            // its session bus's address; empty: the user's
  bool sound = true;                 // off with --no-sound
  std::string webhookUrl;            // --notify-url or [notify] url; empty: none
  std::vector<std::string> command;  // [notify] command; empty: none
  int bellFd = -1;                   // quillet-grab's terminal; -1: no bell
};

// Adds the notifiers `settings` asks for. The webhook is reached like the
// service: with its CA file and proxy. `onDesktopClick`, when given, runs on
// the desktop notifier's thread when the person clicks one of its
// notifications.
void AddConfiguredNotifiers(NotifierSet& set, const NotifySettings& settings, const ServiceSettings& service,
                            std::function<void()> onDesktopClick = {});

}  // namespace quillet
