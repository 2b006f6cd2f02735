#include "notify/event_json.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "util/codepage.h"
#include "util/json_text.h"

namespace quillet {

std::string_view EventName(NotifyEventKind kind) {
  switch (kind) {
    case NotifyEventKind::kBooked:
      return "booked";
    case NotifyEventKind::kManualCheck:
      return "manual_check";
    case NotifyEventKind::kSessionLapsed:
      return "session_lapsed";
  }
  return "booked";
}

namespace {

void AppendJsonString(std::string& out, std::string_view utf8) { out += JsonStringFromUtf8(utf8); }

void AppendProgramText(std::string& out, const std::string& gbk) { AppendJsonString(out, Utf8FromGbk(gbk)); }

void AppendField(std::string& out, std::string_view name) {
  out += ',';
  AppendJsonString(out, name);
  out += ':';
}

}  // namespace

std::string IsoLocalTime(std::chrono::system_clock::time_point at) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
  const long offsetMinutes = local.tm_gmtoff / 60;
  char offset[40];
  std::snprintf(offset, sizeof offset, "%c%02ld:%02ld", offsetMinutes < 0 ? '-' : '+', std::labs(offsetMinutes) / 60,
                std::labs(offsetMinutes) % 60);
  return std::string(stamp) + offset;
}

std::string EventJson(const NotifyEvent& event) {
  std::string out = "{";
  AppendJsonString(out, "event");
  out += ':';
  AppendJsonString(out, EventName(event.kind));
  AppendField(out, "train");
  AppendProgramText(out, event.train);
  AppendField(out, "date");
  AppendProgramText(out, event.date);
  AppendField(out, "seat");
  AppendProgramText(out, event.seatClass);
  AppendField(out, "passengers");
  out += '[';
  for (std::size_t i = 0; i < event.passengers.size(); ++i) {
    if (i > 0) out += ',';
    AppendProgramText(out, event.passengers[i]);
  }
  out += ']';
  AppendField(out, "order_id");
  if (event.orderId) {
    AppendProgramText(out, *event.orderId);
  } else {
    out += "null";
  }
  if (event.payBy) {
    AppendField(out, "pay_by");
    AppendProgramText(out, *event.payBy);
  }
  AppendField(out, "at");
  AppendJsonString(out, IsoLocalTime(event.at));
  out += '}';
  return out;
}

}  // namespace quillet
