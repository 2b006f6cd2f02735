// HTTPS exchanges: certificates are verified against the system store plus
// the caller's extra CA bundle.
#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

#include "exchange_fixture.h"
#include "net/http.h"
#include "test_pki.h"

namespace quillet::test {
namespace {

class HttpsServer {
 public:
  explicit HttpsServer(const ServerCertificate& certificate)
      : server_(certificate.certFile.c_str(), certificate.keyFile.c_str()) {
    server_.Get("/", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Set-Cookie", "secure=1; Secure");
      response.set_content("secure answer", "text/plain");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only takes effect once the server runs.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~HttpsServer() {
    server_.stop();
    thread_.join();
  }
  bool Valid() const { return server_.is_valid() && port_ > 0; }
  std::string Url(const std::string& host = "127.0.0.1") const {
    return "https://" + host + ":" + std::to_string(port_) + "/";
  }

 private:
  httplib::SSLServer server_;
  int port_ = 0;
  std::thread thread_;
};

TEST(HttpsExchange, TrustsTheExtraCaAndRefusesEveryOtherCertificate) {
  TestPki pki;
  TestPki strangerPki;
  const ServerCertificate good = pki.Issue("good", "IP:127.0.0.1");
  const ServerCertificate otherName = pki.Issue("other-name", "DNS:other.test");
  const ServerCertificate expired = pki.Issue("expired", "IP:127.0.0.1", -10, -1);
  const ServerCertificate notYetValid = pki.Issue("future", "IP:127.0.0.1", 2, 10);

  const struct {
    const char* name;
    const ServerCertificate& certificate;
    std::string extraCa;
    bool accepted;
  } cases[] = {
      {"signed by the extra CA", good, pki.CaFile(), true}, {"no extra CA: unknown authority", good, "", false},
      {"another CA", good, strangerPki.CaFile(), false},    {"missing CA file", good, pki.CaFile() + ".missing", false},
      {"name mismatch", otherName, pki.CaFile(), false},    {"expired", expired, pki.CaFile(), false},
      {"not yet valid", notYetValid, pki.CaFile(), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpsServer server(c.certificate);
    ASSERT_TRUE(server.Valid());
    CookieJar jar("a = 1");
    Call call{server.Url()};
    call.options.extraCaFile = c.extraCa;
    // A connection kept alive would hold the test server open at its stop.
    call.options.reuseConnections = false;
    const HttpExchangeResult result = call.Exchange(jar);
    EXPECT_EQ(result.body, c.accepted ? "secure answer" : "");
    EXPECT_EQ(result.outcome, c.accepted ? ExchangeOutcome::kOk : ExchangeOutcome::kTlsFailure);
    EXPECT_EQ(jar.Text(), c.accepted ? "secure=1; a=1" : "a=1");
  }
}

}  // namespace
}  // namespace quillet::test
