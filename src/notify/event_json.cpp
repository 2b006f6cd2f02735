#include "notify/event_json.h"

#include <string_view>

#include "util/china_moment.h"
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
    case NotifyEventKind::kThrottled:
      return "throttled";
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

std::string EventJson(const NotifyEvent& event) {
  std::string out = "{";
  AppendJsonString(out, "event");
  out += ':';
  AppendJsonString(out, EventName(event.kind));
  if (event.nameAccount && !event.account.empty()) {
    AppendField(out, "account");
    AppendProgramText(out, event.account);
  }
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
  if (event.qrContent) {
    AppendField(out, "qr_content");
    AppendJsonString(out, *event.qrContent);
  }
  if (event.qrPicture) {
    AppendField(out, "qr_picture");
    AppendJsonString(out, *event.qrPicture);
  }
  if (event.pageUrl) {
    AppendField(out, "page_url");
    AppendJsonString(out, *event.pageUrl);
  }
  AppendField(out, "at");
  AppendJsonString(out, ChinaIsoMoment(event.at, IsoPrecision::kSeconds));
  out += '}';
  return out;
}

}  // namespace quillet
