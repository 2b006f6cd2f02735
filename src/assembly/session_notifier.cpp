#include "assembly/session_notifier.h"

namespace quillet {

NotifyEvent NotifyEventForOrder(NotifyEventKind kind, const OrderReport& order) {
  NotifyEvent event;
  event.kind = kind;
  event.train = order.train;
  event.date = order.date;
  event.seatClass = order.seatName;
  event.passengers = order.passengers;
  if (!order.orderId.empty()) event.orderId = order.orderId;
  if (order.at != EventMoment{}) event.at = order.at;
  event.account = order.account;
  return event;
}

void SessionNotifier::OnSignedIn() { lapseTold_ = false; }

void SessionNotifier::OnOrderBooked(const OrderReport& order) {
  NotifyEvent event = NotifyEventForOrder(NotifyEventKind::kBooked, order);
  event.nameAccount = nameAccount_;
  notifiers_.Post(std::move(event));
}

void SessionNotifier::OnOrderNeedsManualCheck(const OrderReport& order) {
  NotifyEvent event = NotifyEventForOrder(NotifyEventKind::kManualCheck, order);
  event.nameAccount = nameAccount_;
  notifiers_.Post(std::move(event));
}

void SessionNotifier::OnSessionLapsed(const SessionLapse& lapse) {
  if (!tellLapses_ || lapseTold_.exchange(true)) return;
  NotifyEvent event;
  event.kind = NotifyEventKind::kSessionLapsed;
  event.account = lapse.account;
  event.nameAccount = nameAccount_;
  if (!pageUrl_.empty()) event.pageUrl = pageUrl_;
  notifiers_.Post(event);
}

}  // namespace quillet
