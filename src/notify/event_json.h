#pragma once
// The JSON document the webhook and the command receive.
#include <chrono>
#include <string>

#include "notify/notify_event.h"

namespace quillet {

// One line of UTF-8 JSON: {"event":"booked","train":…,"date":…,"seat":…,
// "passengers":[…],"order_id":…,"at":…}, with "pay_by" added when known.
// "at" is China Standard Time, "2026-12-20T09:15:02+08:00", like the
// service's own moments, whatever this machine's zone.
// An unknown order id is null.
std::string EventJson(const NotifyEvent& event);

}  // namespace quillet
