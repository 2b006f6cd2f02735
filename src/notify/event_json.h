#pragma once
// The JSON document the webhook and the command receive.
#include <chrono>
#include <string>

#include "notify/notify_event.h"

namespace quillet {

// One line of UTF-8 JSON: {"event":"booked","train":…,"date":…,"seat":…,
// "passengers":[…],"order_id":…,"at":…}, with "pay_by" added when known.
// An unknown order id is null.
std::string EventJson(const NotifyEvent& event);

// Local time in ISO 8601 with the zone's offset: "2026-12-20T09:15:02+08:00".
std::string IsoLocalTime(std::chrono::system_clock::time_point at);

}  // namespace quillet
