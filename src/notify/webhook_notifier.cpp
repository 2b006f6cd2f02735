#include "notify/webhook_notifier.h"

#include <utility>

#include "net/curl_handles.h"
#include "net/curl_transfer.h"
#include "notify/event_json.h"
#include "notify/texts.h"
#include "util/wait.h"

namespace quillet {

namespace {

bool WorthRetrying(const net::TransferResult& result) {
  if (result.outcome != ExchangeOutcome::kOk) return true;
  const long status = result.status;
  return !(status >= 400 && status < 500) || status == 408 || status == 429;
}

}  // namespace

WebhookNotifier::WebhookNotifier(WebhookOptions options) : options_(std::move(options)) {}

WebhookNotifier::~WebhookNotifier() = default;

DeliveryResult WebhookNotifier::Deliver(const NotifyEvent& event, std::stop_token stop) {
  if (!handles_) handles_ = std::make_unique<net::CurlHandles>();

  net::TransferRequest request;
  request.url = options_.url;
  request.method = "POST";
  request.body = EventJson(event);
  request.sendBody = true;
  request.headerLines = {"Content-Type: application/json", "Expect:"};
  request.proxy = options_.proxy;
  request.extraCaFile = options_.extraCaFile;

  net::TransferLimits limits;
  limits.stop = stop;
  limits.stallTimeout = options_.tryLimit;
  limits.totalTimeout = options_.tryLimit;
  limits.maxBodyBytes = 1024 * 1024;

  net::TransferResult result;
  int tried = 0;
  while (tried < options_.tries) {
    if (tried > 0 && !WaitUnlessStopped(stop, options_.retryPause)) break;
    ++tried;
    result = net::RunTransfer(*handles_, request, limits);
    if (result.outcome == ExchangeOutcome::kOk && result.status >= 200 && result.status < 300) {
      return {DeliveryOutcome::kDelivered, {}};
    }
    if (result.outcome == ExchangeOutcome::kStopped || !WorthRetrying(result)) break;
  }
  const bool answered = result.outcome == ExchangeOutcome::kOk;
  std::string detail =
      answered ? notify_texts::HttpStatusPrefix() + std::to_string(result.status) : notify_texts::NoAnswer();
  detail += notify_texts::TriesPrefix() + std::to_string(tried) + notify_texts::TriesSuffix();
  DeliveryFailure failure;
  failure.kind = answered ? DeliveryFailure::Kind::kHttpStatus : DeliveryFailure::Kind::kNoAnswer;
  failure.number = answered ? result.status : 0;
  failure.tries = tried;
  return {DeliveryOutcome::kFailed, std::move(detail), std::move(failure)};
}

}  // namespace quillet
