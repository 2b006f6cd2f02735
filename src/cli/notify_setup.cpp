#include "cli/notify_setup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "notify/notify_settings.h"

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

std::unique_ptr<NotifierSet> MakePlanNotifiers(const Plan& plan, const CommandLine& line,
                                               NotifierSet::ReportFn report) {
  NotifySettings settings;
  // On a machine without a desktop the notification would only fail.
  settings.desktop = SessionBusAnnounced();
  settings.sound = !line.noSound;
  settings.bellFd = BellTerminalFd();
  settings.webhookUrl = plan.notify.url;
  settings.extraCaFile = plan.caFile;
  settings.command = plan.notify.command;
  auto notifiers = std::make_unique<NotifierSet>(std::move(report));
  AddConfiguredNotifiers(*notifiers, settings);
  return notifiers;
}

}  // namespace quillet::cli
