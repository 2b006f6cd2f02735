#include "notify/desktop_notifier.h"

#include <systemd/sd-bus.h>

#include <utility>

#include "notify/notification_text.h"
#include "notify/texts.h"

namespace quillet {

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";

struct MessageRef {
  sd_bus_message* message = nullptr;
  ~MessageRef() { sd_bus_message_unref(message); }
};

struct ErrorRef {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  ~ErrorRef() { sd_bus_error_free(&error); }
};

int OpenBus(const std::string& address, sd_bus** bus) {
  if (address.empty()) return sd_bus_open_user(bus);
  int result = sd_bus_new(bus);
  if (result < 0) return result;
  if ((result = sd_bus_set_address(*bus, address.c_str())) < 0 || (result = sd_bus_set_bus_client(*bus, 1)) < 0 ||
      (result = sd_bus_start(*bus)) < 0) {
    *bus = sd_bus_flush_close_unref(*bus);
  }
  return result;
}

// Notify(app_name s, replaces_id u, app_icon s, summary s, body s,
//        actions as, hints a{sv}, expire_timeout i) -> id u
int AppendNotify(sd_bus_message* call, const NotificationText& text) {
  int r = sd_bus_message_append(call, "susss", kNotificationAppName, 0u, kNotificationIcon, text.summary.c_str(),
                                text.body.c_str());
  if (r < 0) return r;
  if ((r = sd_bus_message_append_strv(call, nullptr)) < 0) return r;
  return sd_bus_message_append(call, "a{sv}i", 2, "urgency", "y", static_cast<uint8_t>(text.urgency), "desktop-entry",
                               "s", kNotificationIcon, -1);
}

}  // namespace

DesktopNotifier::DesktopNotifier(DesktopNotifierOptions options) : options_(std::move(options)) {}

DesktopNotifier::~DesktopNotifier() { sd_bus_flush_close_unref(bus_); }

DeliveryResult DesktopNotifier::FailOnce(const std::string& detail, DeliveryFailure failure) {
  if (failureReported_) return {DeliveryOutcome::kSkipped, {}};
  failureReported_ = true;
  return {DeliveryOutcome::kFailed, detail, std::move(failure)};
}

DeliveryResult DesktopNotifier::Deliver(const NotifyEvent& event, std::stop_token stop) {
  if (stop.stop_requested()) return {DeliveryOutcome::kSkipped, {}};
  if (bus_ == nullptr && OpenBus(options_.busAddress, &bus_) < 0) {
    bus_ = nullptr;
    return FailOnce(notify_texts::NoSessionBus(), DeliveryFailure(DeliveryFailure::Kind::kNoSessionBus));
  }
  MessageRef call;
  MessageRef reply;
  ErrorRef error;
  int r = sd_bus_message_new_method_call(bus_, &call.message, kService, kPath, kService, "Notify");
  if (r >= 0) r = AppendNotify(call.message, NotificationFor(event));
  if (r >= 0) {
    const auto usec = static_cast<uint64_t>(options_.callLimit.count()) * 1000u;
    r = sd_bus_call(bus_, call.message, usec, &error.error, &reply.message);
  }
  if (r >= 0) {
    failureReported_ = false;
    return {DeliveryOutcome::kDelivered, {}};
  }
  if (sd_bus_error_has_name(&error.error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
      sd_bus_error_has_name(&error.error, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
    return FailOnce(notify_texts::NoNotificationService(),
                    DeliveryFailure(DeliveryFailure::Kind::kNoNotificationService));
  }
  // The connection may be gone; open a new one for the next event.
  if (!sd_bus_is_open(bus_)) bus_ = sd_bus_flush_close_unref(bus_);
  std::string detail = notify_texts::NoNotificationService();
  DeliveryFailure failure(DeliveryFailure::Kind::kNoNotificationService);
  if (error.error.message != nullptr) {
    detail += std::string(": ") + error.error.message;
    failure.systemText = error.error.message;
  }
  return FailOnce(detail, std::move(failure));
}

}  // namespace quillet
