#pragma once
// How quillet-grab tells the person about a booking: the terminal bell, the
// desktop notification when a session bus is there, the completion sound
// (unless --no-sound), and the plan's [notify] url and command.
#include <memory>

#include "cli/command_line.h"
#include "cli/plan.h"
#include "notify/notifier_set.h"

namespace quillet::cli {

// The notifiers for a run of `plan`. Attach a SessionNotifier on the set to
// the session; after the session is closed, Stop() the set (bounded) before
// anything `report` uses goes. `report` runs on the notifiers' threads.
std::unique_ptr<NotifierSet> MakePlanNotifiers(const Plan& plan, const CommandLine& line, NotifierSet::ReportFn report);

// The terminal to ring: standard error, else standard output; -1 for none.
int BellTerminalFd();
// Whether a D-Bus session bus is announced (DBUS_SESSION_BUS_ADDRESS other than
// "disabled:", or the socket $XDG_RUNTIME_DIR/bus).
bool SessionBusAnnounced();

}  // namespace quillet::cli
