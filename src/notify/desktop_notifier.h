#pragma once
// A desktop notification through the freedesktop notification service on
// the session bus (sd-bus; no Qt).
#include <chrono>
#include <string>

#include "notify/notifier.h"

struct sd_bus;

namespace quillet {

struct DesktopNotifierOptions {
  std::string busAddress;                     // empty: the user's session bus
  std::chrono::milliseconds callLimit{3000};  // for the service's answer
};

class DesktopNotifier : public Notifier {
 public:
  explicit DesktopNotifier(DesktopNotifierOptions options = {});
  ~DesktopNotifier() override;
  DesktopNotifier(const DesktopNotifier&) = delete;
  DesktopNotifier& operator=(const DesktopNotifier&) = delete;

  std::string_view Name() const override { return "desktop"; }
  // Without a bus or a notification service the failure is reported once;
  // later events try again quietly until one gets through.
  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override;

 private:
  DeliveryResult FailOnce(const std::string& detail, DeliveryFailure failure);

  DesktopNotifierOptions options_;
  sd_bus* bus_ = nullptr;  // opened on the delivering thread, used only there
  bool failureReported_ = false;
};

}  // namespace quillet
