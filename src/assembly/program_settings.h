#pragma once
// Everything a front end decides about a running program, in one value.
#include "net/service_settings.h"
#include "notify/notify_settings.h"

namespace quillet {

struct ProgramSettings {
  // Used alike by every session's client, the probe of the service's clock
  // and the webhook.
  ServiceSettings service;
  NotifySettings notify;
};

}  // namespace quillet
