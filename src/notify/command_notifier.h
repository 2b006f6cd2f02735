#pragma once
// Runs a program of the person's choice with the event's JSON on its
// standard input. The program is started directly (no shell), found on PATH
// when its name has no '/'.
#include <chrono>
#include <string>
#include <vector>

#include "notify/notifier.h"

namespace quillet {

struct CommandOptions {
  std::vector<std::string> argv;               // program and arguments, as given
  std::chrono::milliseconds timeLimit{30000};  // then it is killed
  // The program's own secrets: the command gets the environment without them.
  std::vector<std::string> withheldVariables = {"QUILLET_PASSWORD", "QUILLET_WEB_TOKEN", "QUILLET_REDIS_PASSWORD"};
};

class CommandNotifier : public Notifier {
 public:
  explicit CommandNotifier(CommandOptions options);

  std::string_view Name() const override { return "command"; }
  // Exit status 0 counts as delivered. The program runs in a process group
  // of its own, which is killed when the time limit passes or `stop` is
  // requested; it is always waited for.
  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override;

 private:
  CommandOptions options_;
};

}  // namespace quillet
