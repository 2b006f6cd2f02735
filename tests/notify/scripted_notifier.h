#pragma once
// A notifier whose delivery the test writes, and a sample booking.
#include <functional>
#include <string>
#include <utility>

#include "notify/notifier.h"

namespace quillet::test {

class ScriptedNotifier : public Notifier {
 public:
  using Script = std::function<DeliveryResult(const NotifyEvent&, std::stop_token)>;
  ScriptedNotifier(std::string name, Script script) : name_(std::move(name)), script_(std::move(script)) {}
  std::string_view Name() const override { return name_; }
  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override { return script_(event, stop); }

 private:
  std::string name_;
  Script script_;
};

inline NotifyEvent SampleBooking(std::string train = "G101") {
  NotifyEvent event;
  event.kind = NotifyEventKind::kBooked;
  event.train = std::move(train);
  event.date = "2026-12-20";
  event.seatClass = "\xb6\xfe\xb5\xc8\xd7\xf9";  // 二等座
  event.passengers = {"\xd5\xc5\xce\xb0"};       // 张伟
  event.orderId = "E123456789";
  return event;
}

}  // namespace quillet::test
