#pragma once
// What the person is told about: a booking, a wish that needs a check by
// hand, a sign-in the service has forgotten.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// kThrottled: the service has been throttling the run's queries for over a minute.
enum class NotifyEventKind { kBooked, kManualCheck, kSessionLapsed, kThrottled };

// Texts are program text (GBK), as the booking code holds them.
struct NotifyEvent {
  NotifyEventKind kind = NotifyEventKind::kBooked;
  std::string train;      // e.g. "G101"
  std::string date;       // travel date, "2026-12-20"
  std::string seatClass;  // seat class name, e.g. 二等座
  std::vector<std::string> passengers;
  std::optional<std::string> orderId;  // when the service has given one
  std::optional<std::string> payBy;    // pay-by time as the service states it
  // A lapsed sign-in in a QR run: the new code's content (the address the
  // railway's phone app opens) and its saved picture; UTF-8, not program text.
  std::optional<std::string> qrContent;
  std::optional<std::string> qrPicture;
  // A lapsed sign-in: the address of quillet-grab's page, where the person
  // can sign in again (UTF-8; never with the page's token).
  std::optional<std::string> pageUrl;
  std::chrono::system_clock::time_point at = std::chrono::system_clock::now();
  // The account (program text) of the session the event belongs to; empty
  // when not known. Sent only with nameAccount: a front end of several
  // accounts asks for it; otherwise the notifiers' texts are unchanged.
  std::string account;
  bool nameAccount = false;
};

// "booked", "manual_check", "session_lapsed".
std::string_view EventName(NotifyEventKind kind);

}  // namespace quillet
