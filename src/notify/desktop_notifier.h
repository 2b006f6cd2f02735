#pragma once
// A desktop notification through the freedesktop notification service on
// the session bus (sd-bus; no Qt). The connection belongs to a thread of the
// notifier's own, which also hears the person click a notification.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "notify/notifier.h"

namespace quillet {

struct DesktopNotifierOptions {
  std::string busAddress;                     // empty: the user's session bus
  std::chrono::milliseconds callLimit{3000};  // for the service's answer
  // With it, the notifications offer a click (their "default" action), and a
  // click on one of them runs this on the notifier's bus thread.
  std::function<void()> onClick;
};

class DesktopNotifier : public Notifier {
 public:
  explicit DesktopNotifier(DesktopNotifierOptions options = {});
  // Ends the bus thread: onClick does not run once it has returned.
  ~DesktopNotifier() override;
  DesktopNotifier(const DesktopNotifier&) = delete;
  DesktopNotifier& operator=(const DesktopNotifier&) = delete;

  std::string_view Name() const override { return "desktop"; }
  // Without a bus or a notification service the failure is reported once;
  // later events try again quietly until one gets through.
  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override;

 private:
  class BusThread;
  DeliveryResult FailOnce(const std::string& detail, DeliveryFailure failure);

  std::chrono::milliseconds callLimit_;
  std::unique_ptr<BusThread> bus_;
  bool failureReported_ = false;  // used on the delivering thread only
};

}  // namespace quillet
