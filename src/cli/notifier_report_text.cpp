#include "cli/notifier_report_text.h"

#include "util/messages.h"

namespace quillet::cli {
namespace {

std::string NotifierWords(const std::string& name) {
  if (name == "webhook") return _("webhook");
  if (name == "command") return _("notify command");
  if (name == "desktop") return _("desktop notification");
  if (name == "sound") return _("sound");
  if (name == "bell") return _("terminal bell");
  return name;
}

std::string EventWords(NotifyEventKind kind) {
  switch (kind) {
    case NotifyEventKind::kBooked:
      return _("the booking");
    case NotifyEventKind::kManualCheck:
      return _("the manual check");
    case NotifyEventKind::kSessionLapsed:
      return _("the lapsed sign-in");
    case NotifyEventKind::kThrottled:
      return _("the throttling");
  }
  return {};
}

}  // namespace

std::string NotifierFailureText(const DeliveryFailure& failure) {
  using Kind = DeliveryFailure::Kind;
  const std::string number = std::to_string(failure.number);
  const std::string tries = std::to_string(failure.tries);
  switch (failure.kind) {
    case Kind::kHttpStatus:
      return Format(_("HTTP status %s after %s tries"), number, tries);
    case Kind::kNoAnswer:
      return Format(_("no connection or no answer after %s tries"), tries);
    case Kind::kCannotStart:
      return Format(_("cannot start it: %s"), failure.systemText);
    case Kind::kExitStatus:
      return Format(_("it exited with status %s"), number);
    case Kind::kKilledBySignal:
      return Format(_("it was ended by signal %s"), number);
    case Kind::kTimedOut:
      return _("it took too long and was stopped");
    case Kind::kNoSessionBus:
      return _("there is no session bus");
    case Kind::kNoNotificationService:
      return failure.systemText.empty() ? std::string(_("the desktop has no notification service"))
                                        : Format(_("the desktop has no notification service (%s)"), failure.systemText);
    case Kind::kNoSound:
      return Format(_("cannot play it: %s"), failure.systemText);
    case Kind::kNone:
      break;
  }
  return _("it failed");
}

std::string NotifierReportText(const NotifierReport& report) {
  if (report.outcome == DeliveryOutcome::kDelivered) {
    return Format(_("%s: told of %s"), NotifierWords(report.notifier), EventWords(report.kind));
  }
  return Format(_("%s: could not tell of %s: %s"), NotifierWords(report.notifier), EventWords(report.kind),
                NotifierFailureText(report.failure));
}

}  // namespace quillet::cli
