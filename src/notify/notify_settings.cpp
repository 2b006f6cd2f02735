#include "notify/notify_settings.h"

#include <memory>

#include "notify/command_notifier.h"
#include "notify/desktop_notifier.h"
#include "notify/sound_notifier.h"
#include "notify/terminal_bell.h"
#include "notify/webhook_notifier.h"

namespace quillet {

void AddConfiguredNotifiers(NotifierSet& set, const NotifySettings& settings) {
  if (settings.desktop) set.Add(std::make_unique<DesktopNotifier>());
  if (settings.sound) set.Add(std::make_unique<SoundNotifier>());
  if (settings.bellFd >= 0) set.Add(std::make_unique<TerminalBell>(settings.bellFd));
  if (!settings.webhookUrl.empty()) {
    WebhookOptions options;
    options.url = settings.webhookUrl;
    options.extraCaFile = settings.extraCaFile;
    options.proxy = settings.proxy;
    set.Add(std::make_unique<WebhookNotifier>(std::move(options)));
  }
  if (!settings.command.empty()) {
    CommandOptions options;
    options.argv = settings.command;
    set.Add(std::make_unique<CommandNotifier>(std::move(options)));
  }
}

}  // namespace quillet
