#pragma once
// The booking service's daily hours: outside them it takes no orders, so
// grabbing sends nothing and waits for the opening.
#include <optional>
#include <string>
#include <string_view>

#include "grab/shared_service_clock.h"

namespace quillet {

// Daily hours in China Standard Time; a close earlier than the open runs
// past midnight. Equal ends: open all day.
struct ServiceHours {
  int openMinute = 5 * 60;   // 05:00
  int closeMinute = 1 * 60;  // 01:00 the next day
};

// "HH:MM-HH:MM" (two digits each); nothing for anything else.
std::optional<ServiceHours> ParseServiceHours(std::string_view text);
// "06:00-23:30".
std::string ServiceHoursText(const ServiceHours& hours);
// "HH:MM" of a minute of the day.
std::string ClockOfDay(int minute);

bool OpenAt(const ServiceHours& hours, SystemTime serviceMoment);
// The first opening after `serviceMoment` (the one that ends a closed time,
// or tomorrow's when open now).
SystemTime NextOpening(const ServiceHours& hours, SystemTime serviceMoment);

}  // namespace quillet
