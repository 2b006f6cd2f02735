#pragma once
// What a desktop notification shows for an event, and the log line for a
// notifier's report.
#include <string>

#include "notify/notifier_set.h"
#include "notify/notify_event.h"
#include "quillet/version.h"

namespace quillet {

enum class NotificationUrgency : unsigned char { kLow = 0, kNormal = 1, kCritical = 2 };

struct NotificationText {
  std::string summary;  // UTF-8
  std::string body;     // UTF-8, lines separated by '\n'
  NotificationUrgency urgency = NotificationUrgency::kNormal;
};

inline constexpr char kNotificationAppName[] = "Quillet";
// The installed icon's theme name, which is also the desktop entry's id.
inline constexpr const char* kNotificationIcon = kDesktopId;

NotificationText NotificationFor(const NotifyEvent& event);

// Program text for the log: "通知 webhook 失败：HTTP 状态 500，共试 3 次".
std::string ReportLine(const NotifierReport& report);

}  // namespace quillet
