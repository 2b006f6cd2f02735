#include "notify/notification_text.h"

#include "notify/texts.h"
#include "util/codepage.h"

namespace quillet {

namespace {

const std::string& SummaryFor(NotifyEventKind kind) {
  switch (kind) {
    case NotifyEventKind::kBooked:
      return notify_texts::BookedSummary();
    case NotifyEventKind::kManualCheck:
      return notify_texts::ManualCheckSummary();
    case NotifyEventKind::kSessionLapsed:
      return notify_texts::SessionLapsedSummary();
    case NotifyEventKind::kThrottled:
      return notify_texts::ThrottledSummary();
  }
  return notify_texts::BookedSummary();
}

void AppendLine(std::string& body, const std::string& line) {
  if (line.empty()) return;
  if (!body.empty()) body += '\n';
  body += line;
}

}  // namespace

NotificationText NotificationFor(const NotifyEvent& event) {
  std::string trip = event.train;
  for (const std::string* part : {&event.date, &event.seatClass}) {
    if (part->empty()) continue;
    if (!trip.empty()) trip += ' ';
    trip += *part;
  }
  std::string passengers;
  for (const std::string& name : event.passengers) {
    if (!passengers.empty()) passengers += notify_texts::ListSeparator();
    passengers += name;
  }
  std::string body;
  if (event.nameAccount)
    AppendLine(body, event.account.empty() ? std::string() : notify_texts::AccountPart() + event.account);
  AppendLine(body, trip);
  AppendLine(body, passengers);
  if (event.orderId) AppendLine(body, notify_texts::OrderIdPart() + *event.orderId);
  if (event.payBy) AppendLine(body, notify_texts::PayByPart() + *event.payBy);
  if (event.qrContent) AppendLine(body, notify_texts::ScanQrPart() + *event.qrContent);
  if (event.pageUrl) AppendLine(body, notify_texts::SignInPagePart() + *event.pageUrl);

  NotificationText text;
  text.summary = Utf8FromGbk(SummaryFor(event.kind));
  text.body = Utf8FromGbk(body);
  text.urgency = event.kind == NotifyEventKind::kBooked ? NotificationUrgency::kCritical : NotificationUrgency::kNormal;
  return text;
}

std::string ReportLine(const NotifierReport& report) {
  std::string line = notify_texts::ReportPrefix() + report.notifier + ' ';
  if (report.outcome == DeliveryOutcome::kDelivered) {
    line += notify_texts::DeliveredSuffix();
  } else {
    line += notify_texts::FailedSuffix() + report.detail;
  }
  return line;
}

}  // namespace quillet
