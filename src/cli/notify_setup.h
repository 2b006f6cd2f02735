#pragma once
// How quillet-grab tells the person about a booking: the terminal bell, the
// desktop notification when a session bus is there, the completion sound
// (unless --no-sound), and the plan's [notify] url and command.
#include "assembly/program_settings.h"
#include "cli/command_line.h"
#include "cli/plan.h"

namespace quillet::cli {

// The program a run of `plan` puts together: the plan's service, and the
// notifiers its [notify] table and the command line ask for.
ProgramSettings PlanProgramSettings(const Plan& plan, const CommandLine& line);

// The terminal to ring: standard error, else standard output; -1 for none.
int BellTerminalFd();
// Whether a D-Bus session bus is announced (DBUS_SESSION_BUS_ADDRESS other than
// "disabled:", or the socket $XDG_RUNTIME_DIR/bus).
bool SessionBusAnnounced();

}  // namespace quillet::cli
