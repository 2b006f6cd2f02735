#include "grab/service_hours.h"

#include <cstdio>

#include "util/china_moment.h"

namespace quillet {
namespace {

using std::chrono::minutes;

constexpr auto kChinaOffset = std::chrono::hours(8);
constexpr int kMinutesPerDay = 24 * 60;

// The moment's China Standard Time midnight and its minute of the day.
SystemTime ChinaMidnightOf(SystemTime moment) {
  const auto local = std::chrono::floor<std::chrono::days>(moment + kChinaOffset);
  return std::chrono::time_point_cast<SystemTime::duration>(local - kChinaOffset);
}

}  // namespace

std::optional<ServiceHours> ParseServiceHours(std::string_view text) {
  if (text.size() != 11 || text[5] != '-') return std::nullopt;
  const auto open = MinuteOfDay(text.substr(0, 5));
  const auto close = MinuteOfDay(text.substr(6, 5));
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

}  // namespace quillet
