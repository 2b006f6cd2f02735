#include "notify/notify_settings.h"

#include <memory>

#include "notify/command_notifier.h"
#include "notify/desktop_notifier.h"
#include "notify/sound_notifier.h"
#include "notify/terminal_bell.h"
#include "notify/webhook_notifier.h"

namespace quillet {

void AddConfiguredNotifiers(NotifierSet& set, const NotifySettings& settings, const ServiceSettings& service,
                            std::function<void()> onDesktopClick) {
  if (settings.desktop) {
    DesktopNotifierOptions options;
    options.busAddress = settings.desktopBus;
    options.onClick = std::move(onDesktopClick);
    set.Add(std::make_unique<DesktopNotifier>(std::move(options)));
  }
  if (settings.sound) set.Add(std::make_unique<SoundNotifier>());
  if (settings.bellFd >= 0) set.Add(std::make_unique<TerminalBell>(settings.bellFd));
  if (!settings.webhookUrl.empty()) {
    WebhookOptions options;
    options.url = settings.webhookUrl;
    options.extraCaFile = service.caFile;
    options.proxy = service.proxy;
    set.Add(std::make_unique<WebhookNotifier>(std::move(options)));
  }
  if (!settings.command.empty()) {
    CommandOptions options;
    options.argv = settings.command;
    set.Add(std::make_unique<CommandNotifier>(std::move(options)));
  }
}

}  // namespace quillet
