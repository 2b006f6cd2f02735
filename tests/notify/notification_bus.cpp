#include "notification_bus.h"

namespace quillet::test {

NotificationBus::NotificationBus(Service service) {
  if (service == Service::kRecording && bus_.Running()) {
    service_ = std::make_unique<FakeNotificationService>(bus_.Address());
  }
}

::testing::AssertionResult NotificationBus::Ready() const {
  if (!bus_.Running()) return ::testing::AssertionFailure() << "dbus-daemon did not start";
  if (service_ && !service_->Ready()) {
    return ::testing::AssertionFailure() << "the notification service did not take its name on the bus";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace quillet::test
