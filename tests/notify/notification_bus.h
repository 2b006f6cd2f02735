#pragma once
// The set-up every desktop-notification test starts from: a private session
// bus, with or without a recording notification service on it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fake_notification_service.h"
#include "private_bus.h"

namespace quillet::test {

class NotificationBus {
 public:
  enum class Service { kRecording, kNone };
  explicit NotificationBus(Service service = Service::kRecording);
  NotificationBus(const NotificationBus&) = delete;
  NotificationBus& operator=(const NotificationBus&) = delete;

  // Passes when the bus, and the service if one was asked for, came up.
  ::testing::AssertionResult Ready() const;
  const std::string& Address() const { return bus_.Address(); }
  // The recording service; only when one was asked for.
  FakeNotificationService& Notifications() { return *service_; }

 private:
  PrivateBus bus_;
  std::unique_ptr<FakeNotificationService> service_;  // after the bus: leaves before the bus stops
};

}  // namespace quillet::test
