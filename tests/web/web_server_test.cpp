// The page's server on a loopback port with a status of its own: what it
// refuses, its limits, and that a live page hears a change at once.
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "web/request_checks.h"
#include "web/web_limits.h"
#include "web/web_server.h"

namespace quillet::web {
namespace {

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

// A connection of its own, for what a library client would not send.
struct LiveClient {
  int fd = -1;
  int status = 0;
  ~LiveClient() {
    if (fd >= 0) ::close(fd);
  }
};

// Sends `head` as it is and reads the answer's status; the connection stays open.
std::unique_ptr<LiveClient> SendRaw(int port, const std::string& head) {
  auto client = std::make_unique<LiveClient>();
  client->fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::connect(client->fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return client;
  if (::write(client->fd, head.data(), head.size()) < 0) return client;
  char answer[32] = {};
  const timeval wait{5, 0};
  ::setsockopt(client->fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  if (::recv(client->fd, answer, 12, MSG_WAITALL) == 12) client->status = std::atoi(answer + 9);
  return client;
}

std::unique_ptr<LiveClient> OpenEvents(int port) {
  return SendRaw(port, "GET /events HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n");
}

class WebServerTest : public ::testing::Test {
 protected:
  void Serve(const std::string& listen, const std::string& token = {}, const std::string& cert = {},
             const std::string& key = {}) {
    WebSettings settings;
    settings.address = *ParseWebAddress(listen);
    settings.token = token;
    settings.certFile = cert;
    settings.keyFile = key;
    server_ = std::make_unique<WebServer>(settings, status_,
                                          WebActions{.stop = [this] { ++stops_; },
                                                     .captchaAnswer =
                                                         [this](std::uint64_t, const std::string& cells) {
                                                           answers_.push_back(cells);
                                                           return true;
                                                         }});
    std::string error;
    ASSERT_TRUE(server_->Start(error)) << error;
  }
  httplib::Client Client() {
    httplib::Client client("127.0.0.1", server_->Port());
    client.set_read_timeout(5);
    return client;
  }
  // The anti-forgery value the page carries.
  std::string FormValue(httplib::Client& client, const httplib::Headers& headers = {}) {
    const auto page = client.Get("/", headers);
    const std::string marker = "name=\"quillet-form\" content=\"";
    const std::size_t at = page->body.find(marker);
    return page->body.substr(at + marker.size(), 32);
  }

  WebStatus status_{StatusSources{[] { return SessionStatus{}; }, {}, std::chrono::system_clock::now}};
  std::unique_ptr<WebServer> server_;
  std::atomic<int> stops_{0};
  std::vector<std::string> answers_;
};

TEST_F(WebServerTest, OnLoopbackThePageNeedsNoTokenButAChangeNeedsTheFormValue) {
  Serve("127.0.0.1:" + std::to_string(FreePort()));
  httplib::Client client = Client();
  const auto page = client.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'none'"), std::string::npos);
  EXPECT_EQ(page->body.find("__QUILLET_FORM__"), std::string::npos);
  EXPECT_EQ(client.Get("/page.js")->status, 200);
  EXPECT_EQ(client.Get("/status")->status, 200);

  EXPECT_EQ(client.Post("/stop", "", "text/plain")->status, 403);
  EXPECT_EQ(
      client.Post("/stop", {{std::string(kFormHeader), "0123456789abcdef0123456789abcdef"}}, "", "text/plain")->status,
      403);
  EXPECT_EQ(stops_, 0);
  const std::string form = FormValue(client);
  EXPECT_EQ(client.Post("/stop", {{std::string(kFormHeader), form}}, "", "text/plain")->status, 202);
  EXPECT_EQ(stops_, 1);

  // Another site's name pointed at this machine does not reach the page.
  EXPECT_EQ(client.Get("/status", {{"Host", "evil.example:" + std::to_string(server_->Port())}})->status, 403);
}

TEST_F(WebServerTest, OffLoopbackEveryRequestNeedsTheTokenThenKeptInACookie) {
  const std::string token = "0123456789abcdef0123456789abcdef";
  Serve("0.0.0.0:" + std::to_string(FreePort()), token);
  httplib::Client client = Client();
  EXPECT_EQ(client.Get("/")->status, 403);
  EXPECT_EQ(client.Get("/status")->status, 403);
  EXPECT_EQ(client.Get("/status?token=0123456789abcdef0123456789abcdeX")->status, 403);
  EXPECT_EQ(client.Get("/status", {{"Cookie", "quillet_token=wrong"}})->status, 403);

  const auto first = client.Get("/?token=" + token);
  ASSERT_EQ(first->status, 200);
  const std::string cookie = first->get_header_value("Set-Cookie");
  EXPECT_EQ(cookie, "quillet_token=" + token + "; Path=/; HttpOnly; SameSite=Strict");
  const httplib::Headers withCookie = {{"Cookie", "quillet_token=" + token}};
  EXPECT_EQ(client.Get("/status", withCookie)->status, 200);
  EXPECT_EQ(client.Post("/stop", withCookie, "", "text/plain")->status, 403);  // no form value
  httplib::Headers changing = withCookie;
  changing.emplace(std::string(kFormHeader), FormValue(client, withCookie));
  EXPECT_EQ(client.Post("/stop", changing, "", "text/plain")->status, 202);
  EXPECT_EQ(server_->UrlWithToken().find("?token=" + token), server_->UrlWithToken().size() - 39);
  EXPECT_EQ(server_->Url().find(token), std::string::npos);
}

TEST_F(WebServerTest, BodiesAreBoundedAndCaptchaAnswersChecked) {
  Serve(std::to_string(FreePort()));
  httplib::Client client = Client();
  const httplib::Headers form = {{std::string(kFormHeader), FormValue(client)}};
  EXPECT_EQ(client.Post("/captcha?id=1", form, std::string(kMaxBodyBytes + 1, '1'), "text/plain")->status, 413);
  EXPECT_EQ(client.Post("/captcha?id=1", form, "9,9", "text/plain")->status, 400);
  EXPECT_EQ(client.Post("/captcha?id=1", form, "2,7", "text/plain")->status, 202);
  EXPECT_EQ(answers_, std::vector<std::string>{"2,7"});
  // A body of no stated length is refused before it is read.
  const int port = server_->Port();
  EXPECT_EQ(SendRaw(port, "POST /captcha?id=1 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nTransfer-Encoding: chunked\r\n" + std::string(kFormHeader) + ": " +
                              form.begin()->second + "\r\n\r\n3\r\n2,7\r\n")
                ->status,
            411);
}

TEST_F(WebServerTest, ThirtyTwoLivePagesAtMostAndTheRestGoesOn) {
  Serve(std::to_string(FreePort()));
  std::vector<std::unique_ptr<LiveClient>> pages;
  for (std::size_t i = 0; i < kMaxClients; ++i) {
    pages.push_back(OpenEvents(server_->Port()));
    ASSERT_EQ(pages.back()->status, 200) << i;
  }
  EXPECT_EQ(OpenEvents(server_->Port())->status, 503);
  httplib::Client client = Client();
  EXPECT_EQ(client.Get("/status")->status, 200);
  pages.pop_back();
  // The place is given back once the server notices the page has gone,
  // which it does when it next writes to it.
  status_.AddLine("a change");
  int status = 0;
  for (int i = 0; i < 100 && status != 200; ++i) {
    status = OpenEvents(server_->Port())->status;
    if (status != 200) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(status, 200);
}

TEST_F(WebServerTest, ALivePageHearsAChangeAtOnce) {
  Serve(std::to_string(FreePort()));
  httplib::Client client = Client();
  std::string received;
  std::atomic<bool> sawLine{false};
  std::thread reader([&] {
    client.Get("/events", [&](const char* data, std::size_t size) {
      received.append(data, size);
      if (received.find("the line") != std::string::npos) {
        sawLine = true;
        return false;
      }
      return true;
    });
  });
  for (int i = 0; i < 200 && received.find("event: snapshot") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto start = std::chrono::steady_clock::now();
  status_.AddLine("the line");
  while (!sawLine && std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(sawLine);  // well within 2 s; the benchmark measures how quickly
  server_->Stop();
  reader.join();
  EXPECT_NE(received.find("event: change"), std::string::npos) << received;
}

TEST_F(WebServerTest, WithACertificateThePageIsServedOverHttpsAndTheCookieIsSecure) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quillet-web-tls-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string cert = (folder / "page.pem").string();
  const std::string key = (folder / "page.key").string();
  const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -keyout " + key + " -out " + cert +
                              " -days 1 -subj /CN=127.0.0.1 >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "openssl cannot make a certificate here";
  const std::string token = "0123456789abcdef0123456789abcdef";
  Serve("0.0.0.0:" + std::to_string(FreePort()), token, cert, key);
  EXPECT_EQ(server_->Url().rfind("https://", 0), 0u);
  httplib::SSLClient client("127.0.0.1", server_->Port());
  client.enable_server_certificate_verification(false);
  client.set_read_timeout(5);
  const auto page = client.Get("/?token=" + token);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Set-Cookie"),
            "quillet_token=" + token + "; Path=/; HttpOnly; SameSite=Strict; Secure");
  EXPECT_EQ(client.Get("/status")->status, 403);
  httplib::Client plain("127.0.0.1", server_->Port());
  plain.set_read_timeout(2);
  const auto refused = plain.Get("/?token=" + token);
  EXPECT_TRUE(!refused || refused->status != 200);
  std::filesystem::remove_all(folder);
}

TEST_F(WebServerTest, ABadCertificateIsAClearErrorAtStart) {
  WebSettings settings;
  settings.address = *ParseWebAddress("127.0.0.1:" + std::to_string(FreePort()));
  settings.certFile = "/nonexistent/page.pem";
  settings.keyFile = "/nonexistent/page.key";
  WebServer server(settings, status_, {});
  std::string error;
  EXPECT_FALSE(server.Start(error));
  EXPECT_NE(error.find("/nonexistent/page.pem"), std::string::npos) << error;
}

}  // namespace
}  // namespace quillet::web
