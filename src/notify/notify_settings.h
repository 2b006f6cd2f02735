#pragma once
// Which notifiers a front end sets up, from its options and plan.
#include <string>
#include <vector>

#include "notify/notifier_set.h"

namespace quillet {

struct NotifySettings {
  bool desktop = true;               // the sd-bus notification (the window brings its own)
  bool sound = true;                 // off with --no-sound
  std::string webhookUrl;            // --notify-url or [notify] url; empty: none
  std::string extraCaFile;           // --ca-file, as for the service
  std::string proxy;                 // as for the service; empty: none
  std::vector<std::string> command;  // [notify] command; empty: none
  int bellFd = -1;                   // quillet-grab's terminal; -1: no bell
};

void AddConfiguredNotifiers(NotifierSet& set, const NotifySettings& settings);

}  // namespace quillet
