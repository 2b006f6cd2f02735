#include "grab/service_hours.h"

#include <cstdio>

#include "grab/texts.h"

namespace quillet {
namespace {

using std::chrono::minutes;

constexpr auto kChinaOffset = std::chrono::hours(8);
constexpr int kMinutesPerDay = 24 * 60;

std::optional<int> ParseClock(std::string_view text) {
  if (text.size() != 5 || text[2] != ':') return std::nullopt;
  for (const std::size_t i : {0u, 1u, 3u, 4u}) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  const int hour = (text[0] - '0') * 10 + (text[1] - '0');
  const int minute = (text[3] - '0') * 10 + (text[4] - '0');
  if (hour > 23 || minute > 59) return std::nullopt;
  return hour * 60 + minute;
}

// The moment's China Standard Time midnight and its minute of the day.
SystemTime ChinaMidnightOf(SystemTime moment) {
  const auto local = std::chrono::floor<std::chrono::days>(moment + kChinaOffset);
  return std::chrono::time_point_cast<SystemTime::duration>(local - kChinaOffset);
}

}  // namespace

std::optional<ServiceHours> ParseServiceHours(std::string_view text) {
  if (text.size() != 11 || text[5] != '-') return std::nullopt;
  const auto open = ParseClock(text.substr(0, 5));
  const auto close = ParseClock(text.substr(6, 5));
  if (!open || !close) return std::nullopt;
  return ServiceHours{*open, *close};
}

std::string ClockOfDay(int minute) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", minute / 60 % 24, minute % 60);
  return text;
}

std::string ServiceHoursText(const ServiceHours& hours) {
  return ClockOfDay(hours.openMinute) + "-" + ClockOfDay(hours.closeMinute);
}

bool OpenAt(const ServiceHours& hours, SystemTime serviceMoment) {
  if (hours.openMinute == hours.closeMinute) return true;
  const auto sinceMidnight = serviceMoment - ChinaMidnightOf(serviceMoment);
  const auto open = minutes(hours.openMinute);
  const auto close = minutes(hours.closeMinute);
  if (open < close) return sinceMidnight >= open && sinceMidnight < close;
  return sinceMidnight >= open || sinceMidnight < close;
}

SystemTime NextOpening(const ServiceHours& hours, SystemTime serviceMoment) {
  SystemTime opening = ChinaMidnightOf(serviceMoment) + minutes(hours.openMinute);
  while (opening <= serviceMoment) opening += minutes(kMinutesPerDay);
  return opening;
}

bool IsClosedHoursRefusal(std::string_view message) {
  return message.find(grab_texts::ClosedHoursMarker()) != std::string_view::npos;
}

}  // namespace quillet
