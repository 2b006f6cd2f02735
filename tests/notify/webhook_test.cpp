// The webhook against loopback servers: the document it posts, retries,
// TLS with a test CA, and a server that never answers.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "notify/event_json.h"
#include "notify/notifier_set.h"
#include "notify/webhook_notifier.h"
#include "raw_http_server.h"
#include "scripted_notifier.h"
#include "test_pki.h"
#include "util/codepage.h"
#include "wait_until.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

WebhookOptions Quick(std::string url) {
  WebhookOptions options;
  options.url = std::move(url);
  options.tryLimit = 2s;
  options.retryPause = 10ms;
  return options;
}

TEST(Webhook, PostsTheEventAsJson) {
  RawHttpServer server([](const RawRequest&, RawConnection& connection) { connection.Send(Answer(204)); });
  WebhookNotifier webhook(Quick(server.Url("/hook?topic=trains")));
  const NotifyEvent event = SampleBooking();
  const DeliveryResult result = webhook.Deliver(event, {});
  EXPECT_EQ(result.outcome, DeliveryOutcome::kDelivered);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/hook?topic=trains");
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/json");
  EXPECT_EQ(requests[0].body, EventJson(event));
}

TEST(Webhook, RetriesTwiceUnlessTheAnswerIsFinal) {
  const struct {
    int status;
    DeliveryOutcome outcome;
    std::size_t tries;
    std::string detail;
  } cases[] = {
      {200, DeliveryOutcome::kDelivered, 1, ""},
      {500, DeliveryOutcome::kFailed, 3, Gbk(u8"HTTP 状态 500，共试 3 次")},
      {429, DeliveryOutcome::kFailed, 3, Gbk(u8"HTTP 状态 429，共试 3 次")},
      {404, DeliveryOutcome::kFailed, 1, Gbk(u8"HTTP 状态 404，共试 1 次")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    RawHttpServer server([&](const RawRequest&, RawConnection& connection) { connection.Send(Answer(c.status)); });
    WebhookNotifier webhook(Quick(server.Url()));
    const DeliveryResult result = webhook.Deliver(SampleBooking(), {});
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.detail, c.detail);
    EXPECT_EQ(server.Requests().size(), c.tries);
    if (c.outcome == DeliveryOutcome::kFailed) {
      EXPECT_EQ(result.failure.kind, DeliveryFailure::Kind::kHttpStatus);
      EXPECT_EQ(result.failure.number, c.status);
      EXPECT_EQ(result.failure.tries, static_cast<int>(c.tries));
    }
  }
}

class HttpsHook {
 public:
  explicit HttpsHook(const ServerCertificate& certificate)
      : server_(certificate.certFile.c_str(), certificate.keyFile.c_str()) {
    server_.Post("/hook", [this](const httplib::Request& request, httplib::Response& response) {
      std::lock_guard lock(mutex_);
      body_ = request.body;
      contentType_ = request.get_header_value("Content-Type");
      response.status = 200;
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(1ms);
  }
  ~HttpsHook() {
    server_.stop();
    thread_.join();
  }
  std::string Url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/hook"; }
  std::string Body() {
    std::lock_guard lock(mutex_);
    return body_;
  }
  std::string ContentType() {
    std::lock_guard lock(mutex_);
    return contentType_;
  }

 private:
  httplib::SSLServer server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::string body_;
  std::string contentType_;
};

TEST(Webhook, HttpsTrustsTheExtraCaOnly) {
  TestPki pki;
  HttpsHook hook(pki.Issue("hook", "IP:127.0.0.1"));

  WebhookOptions untrusted = Quick(hook.Url());
  untrusted.tries = 1;
  EXPECT_EQ(WebhookNotifier(untrusted).Deliver(SampleBooking(), {}).outcome, DeliveryOutcome::kFailed);
  EXPECT_EQ(hook.Body(), "");

  WebhookOptions trusted = Quick(hook.Url());
  trusted.extraCaFile = pki.CaFile();
  const NotifyEvent event = SampleBooking();
  EXPECT_EQ(WebhookNotifier(trusted).Deliver(event, {}).outcome, DeliveryOutcome::kDelivered);
  EXPECT_EQ(hook.Body(), EventJson(event));
  EXPECT_EQ(hook.ContentType(), "application/json");
}

TEST(Webhook, AServerThatNeverAnswersDelaysNobodyAndIsTriedThreeTimes) {
  RawHttpServer silent([](const RawRequest&, RawConnection& connection) { connection.Wait(60s); });
  std::mutex mutex;
  std::vector<NotifierReport> reports;
  NotifierSet set([&](const NotifierReport& report) {
    std::lock_guard lock(mutex);
    reports.push_back(report);
  });
  WebhookOptions options = Quick(silent.Url());
  options.tryLimit = 300ms;
  set.Add(std::make_unique<WebhookNotifier>(options));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(set.Post(SampleBooking()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);

  ASSERT_TRUE(WaitUntil(
      [&] {
        std::lock_guard lock(mutex);
        return !reports.empty();
      },
      20s));
  std::lock_guard lock(mutex);
  EXPECT_EQ(reports[0].notifier, "webhook");
  EXPECT_EQ(reports[0].outcome, DeliveryOutcome::kFailed);
  EXPECT_EQ(silent.Requests().size(), 3u);
}

TEST(Webhook, StopCutsATryShort) {
  RawHttpServer silent([](const RawRequest&, RawConnection& connection) { connection.Wait(60s); });
  WebhookOptions options = Quick(silent.Url());
  options.tryLimit = 60s;
  WebhookNotifier webhook(options);
  std::stop_source stop;
  std::jthread stopper([&] {
    std::this_thread::sleep_for(200ms);
    stop.request_stop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(webhook.Deliver(SampleBooking(), stop.get_token()).outcome, DeliveryOutcome::kFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(silent.Requests().size(), 1u);
}

}  // namespace
}  // namespace quillet::test
