#include "cli/notify_setup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quillet::cli {

int BellTerminalFd() {
  if (isatty(STDERR_FILENO)) return STDERR_FILENO;
  if (isatty(STDOUT_FILENO)) return STDOUT_FILENO;
  return -1;
}

bool SessionBusAnnounced() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) {
    // D-Bus's way of saying that there is no bus.
    return std::string(address).rfind("disabled:", 0) != 0;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return false;
  struct stat info {};
  return stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

ProgramSettings PlanProgramSettings(const Plan& plan, const CommandLine& line) {
  ProgramSettings settings;
  settings.service.address = plan.service;
  settings.service.caFile = plan.caFile;
  // On a machine without a desktop the notification would only fail.
  settings.notify.desktop = SessionBusAnnounced();
  settings.notify.sound = !line.noSound;
  settings.notify.bellFd = BellTerminalFd();
  settings.notify.webhookUrl = plan.notify.url;
  settings.notify.command = plan.notify.command;
  return settings;
}

}  // namespace quillet::cli
