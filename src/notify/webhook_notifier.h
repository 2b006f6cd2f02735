#pragma once
// POSTs the event's JSON to a URL the person chose (a phone push service,
// a chat hook, their own server).
#include <chrono>
#include <memory>
#include <string>

#include "notify/notifier.h"

namespace quillet {

namespace net {
class CurlHandles;
}

struct WebhookOptions {
  std::string url;                            // http or https, UTF-8
  std::string extraCaFile;                    // trusted besides the system store, as for the service
  std::string proxy;                          // empty: none
  std::chrono::milliseconds tryLimit{10000};  // the whole of one try
  int tries = 3;
  std::chrono::milliseconds retryPause{1000};
};

class WebhookNotifier : public Notifier {
 public:
  explicit WebhookNotifier(WebhookOptions options);
  ~WebhookNotifier() override;

  std::string_view Name() const override { return "webhook"; }
  // Any 2xx answer counts as delivered. A failed try is repeated, except
  // after a 4xx answer other than 408 and 429, which another try would not
  // change.
  DeliveryResult Deliver(const NotifyEvent& event, std::stop_token stop) override;

 private:
  WebhookOptions options_;
  std::unique_ptr<net::CurlHandles> handles_;  // made on the delivering thread
};

}  // namespace quillet
