#include "fake_notification_service.h"

#include <systemd/sd-bus.h>

namespace quillet::test {

namespace {

constexpr char kName[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";

// Reads Notify's "susssasa{sv}i"; false on a malformed call.
bool ReadNotify(sd_bus_message* m, RecordedNotification& out) {
  const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
  if (sd_bus_message_read(m, "susss", &app, &out.replacesId, &icon, &summary, &body) < 0) return false;
  out.appName = app;
  out.icon = icon;
  out.summary = summary;
  out.body = body;
  char** actions = nullptr;
  if (sd_bus_message_read_strv(m, &actions) < 0) return false;
  for (char** a = actions; a != nullptr && *a != nullptr; ++a) {
    out.actions.emplace_back(*a);
    free(*a);
  }
  free(actions);
  if (sd_bus_message_enter_container(m, 'a', "{sv}") < 0) return false;
  while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
    const char* key = nullptr;
    if (sd_bus_message_read(m, "s", &key) < 0) return false;
    if (std::string(key) == "urgency") {
      uint8_t urgency = 0;
      if (sd_bus_message_read(m, "v", "y", &urgency) < 0) return false;
      out.urgency = urgency;
    } else if (sd_bus_message_skip(m, "v") < 0) {
      return false;
    }
    if (sd_bus_message_exit_container(m) < 0) return false;
  }
  if (sd_bus_message_exit_container(m) < 0) return false;
  return sd_bus_message_read(m, "i", &out.expireTimeout) >= 0;
}

}  // namespace

FakeNotificationService::FakeNotificationService(const std::string& busAddress) {
  if (sd_bus_new(&bus_) < 0) return;
  if (sd_bus_set_address(bus_, busAddress.c_str()) < 0 || sd_bus_set_bus_client(bus_, 1) < 0 ||
      sd_bus_start(bus_) < 0 || sd_bus_add_object(bus_, nullptr, kPath, &OnMessage, this) < 0 ||
      sd_bus_request_name(bus_, kName, 0) < 0) {
    bus_ = sd_bus_flush_close_unref(bus_);
    return;
  }
  ready_ = true;
  thread_ = std::thread([this] { Run(); });
}

FakeNotificationService::~FakeNotificationService() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  sd_bus_flush_close_unref(bus_);
}

std::vector<RecordedNotification> FakeNotificationService::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void FakeNotificationService::EmitActionInvoked(uint32_t id, const std::string& action) {
  std::lock_guard lock(mutex_);
  pendingSignals_.push_back({id, action});
}

void FakeNotificationService::EmitNotificationClosed(uint32_t id) {
  std::lock_guard lock(mutex_);
  pendingSignals_.push_back({id, {}});
}

int FakeNotificationService::OnMessage(sd_bus_message* message, void* self, sd_bus_error*) {
  auto& service = *static_cast<FakeNotificationService*>(self);
  if (!sd_bus_message_is_method_call(message, kName, "Notify")) return 0;
  RecordedNotification notification;
  if (!ReadNotify(message, notification)) {
    return sd_bus_reply_method_errorf(message, SD_BUS_ERROR_INVALID_ARGS, "malformed Notify");
  }
  {
    std::lock_guard lock(service.mutex_);
    notification.id = service.nextId_++;
    service.received_.push_back(notification);
  }
  if (service.holdAnswers_) return 1;
  return sd_bus_reply_method_return(message, "u", notification.id);
}

void FakeNotificationService::Run() {
  while (!stopping_) {
    std::vector<PendingSignal> signals;
    {
      std::lock_guard lock(mutex_);
      signals.swap(pendingSignals_);
    }
    for (const PendingSignal& signal : signals) {
      if (signal.action.empty()) {
        sd_bus_emit_signal(bus_, kPath, kName, "NotificationClosed", "uu", signal.id, 2u);  // dismissed
      } else {
        sd_bus_emit_signal(bus_, kPath, kName, "ActionInvoked", "us", signal.id, signal.action.c_str());
      }
    }
    int r = 0;
    while ((r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (r < 0) break;
    sd_bus_wait(bus_, 20 * 1000);
  }
}

}  // namespace quillet::test
