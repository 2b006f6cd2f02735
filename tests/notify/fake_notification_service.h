#pragma once
// A freedesktop notification service on a test bus (sd-bus, on a thread of
// its own) that records every Notify call and can emit ActionInvoked and
// NotificationClosed.
#include <systemd/sd-bus.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillet::test {

struct RecordedNotification {
  uint32_t id = 0;
  std::string appName;
  uint32_t replacesId = 0;
  std::string icon;
  std::string summary;
  std::string body;
  std::vector<std::string> actions;
  std::optional<uint8_t> urgency;
  int32_t expireTimeout = 0;
};

class FakeNotificationService {
 public:
  explicit FakeNotificationService(const std::string& busAddress);
  ~FakeNotificationService();
  FakeNotificationService(const FakeNotificationService&) = delete;
  FakeNotificationService& operator=(const FakeNotificationService&) = delete;

  bool Ready() const { return ready_; }
  std::vector<RecordedNotification> Received() const;
  // Emitted from the service's thread soon after the call, in call order.
  void EmitActionInvoked(uint32_t id, const std::string& action);
  void EmitNotificationClosed(uint32_t id);
  // While held, Notify calls are recorded but never answered.
  void HoldAnswers(bool hold) { holdAnswers_ = hold; }

 private:
  static int OnMessage(sd_bus_message* message, void* self, sd_bus_error* error);
  void Run();

  sd_bus* bus_ = nullptr;
  bool ready_ = false;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> holdAnswers_{false};
  mutable std::mutex mutex_;
  std::vector<RecordedNotification> received_;
  struct PendingSignal {
    uint32_t id = 0;
    std::string action;  // empty: NotificationClosed
  };
  std::vector<PendingSignal> pendingSignals_;
  uint32_t nextId_ = 41;
  std::thread thread_;
};

}  // namespace quillet::test
