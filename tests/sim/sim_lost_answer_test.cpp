// Faults armed through POST /sim/fault: the request is carried out and only
// its answer is spoiled on the way back.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "booking/service_paths.h"
#include "sim_fixture.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

// Sends a raw GET and collects whatever arrives within `window`.
std::string ReadFor(int port, const std::string& pathAndQuery, std::chrono::milliseconds window) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return {};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string received;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string request = "GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
      const auto end = std::chrono::steady_clock::now() + window;
      for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
        pollfd ready{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        if (poll(&ready, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
      }
    }
  }
  close(fd);
  return received;
}

class SimLostAnswerTest : public ::testing::Test {
 protected:
  SimLostAnswerTest() : sim_({"--seed", "7", "--release-every", "0"}), client_(sim_) {}
  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    ASSERT_TRUE(client_.SignIn());
  }
  // Runs the order chain up to the confirmation, which is sent and answered.
  SimAnswer OrderUpToConfirm(OrderValues& v) {
    OrderValues page;
    client_.InitDc(page);
    v.idNo = PassengerIdNo(
        client_.Post(service_paths::kPassengers, "_json_att=&REPEAT_SUBMIT_TOKEN=" + page.token).body, v.passengerName);
    EXPECT_TRUE(Has(client_.SubmitOrderRequest(v).body, "status\":true"));
    client_.InitDc(v);
    EXPECT_TRUE(Has(client_.CheckOrderInfo(v).body, "submitStatus\":true"));
    EXPECT_TRUE(Has(client_.GetQueueCount(v).body, "status\":true"));
    return client_.ConfirmSingleForQueue(v);
  }
  SimProcess sim_;
  SimConversation client_;
};

struct LostCase {
  const char* mode;
  std::function<void(const SimAnswer&)> check;
};

TEST_F(SimLostAnswerTest, ASpoiledConfirmationStillBooksAndThePollsFindTheOrder) {
  const LostCase cases[] = {
      {"garbage",
       [](const SimAnswer& a) {
         EXPECT_EQ(a.status, 200);
         EXPECT_FALSE(Has(a.body, "submitStatus")) << a.body;
       }},
      {"truncated", [](const SimAnswer& a) { EXPECT_EQ(a.status, 0) << a.body; }},
      {"reset", [](const SimAnswer& a) { EXPECT_EQ(a.status, 0) << a.body; }},
  };
  for (const LostCase& c : cases) {
    SCOPED_TRACE(c.mode);
    sim_.Reset();
    ASSERT_TRUE(client_.SignIn());
    OrderValues v = PrepareOrder(sim_, client_, 1);
    ASSERT_FALSE(v.train.empty());
    EXPECT_EQ(sim_.ArmFault("confirmSingleForQueue", c.mode),
              "{\"confirmSingleForQueue\":{\"mode\":\"" + std::string(c.mode) + "\",\"times\":1}}");
    c.check(OrderUpToConfirm(v));
    EXPECT_EQ(sim_.Get("/sim/faults"), "{}") << "one answer spoiled, then the fault is spent";
    EXPECT_TRUE(Has(sim_.State(), "\"status\":\"queued\"")) << sim_.State();
    for (int poll = 0; poll < 3 && v.orderId.empty(); ++poll) client_.QueryOrderWaitTime(v);
    EXPECT_FALSE(v.orderId.empty());
    EXPECT_TRUE(Has(client_.ResultOrderForDcQueue(v).body, "submitStatus\":true"));
    EXPECT_TRUE(Has(sim_.State(), "\"status\":\"unpaid\""));
  }
}

TEST_F(SimLostAnswerTest, OnlyTheArmedPathIsSpoiledAndForAsManyAnswersAsAsked) {
  EXPECT_TRUE(Has(sim_.ArmFault(service_paths::kCheckUser, "garbage", 2),
                  "\"" + std::string(service_paths::kCheckUser) + "\""));
  EXPECT_TRUE(Has(client_.Post(service_paths::kLeftTicketQuery, "").body, "<html")) << "another path answers as ever";
  for (int spoiled = 0; spoiled < 2; ++spoiled) {
    EXPECT_FALSE(Has(client_.Post(service_paths::kCheckUser, "_json_att=").body, "flag"));
  }
  EXPECT_TRUE(Has(client_.Post(service_paths::kCheckUser, "_json_att=").body, "flag\":true"));

  // Times 0 disarms; a reset forgets what is armed.
  sim_.ArmFault("checkUser", "reset", 5);
  EXPECT_EQ(sim_.ArmFault("checkUser", "reset", 0), "{}");
  sim_.ArmFault("checkUser", "reset", 5);
  sim_.Reset();
  EXPECT_EQ(sim_.Get("/sim/faults"), "{}");
}

TEST_F(SimLostAnswerTest, BadFaultRequestsAreRefused) {
  const std::map<std::string, std::string> bad[] = {
      {{"path", "checkUser"}, {"mode", "fire"}},
      {{"path", "checkUser"}},
      {{"mode", "garbage"}},
      {{"path", "checkUser"}, {"mode", "garbage"}, {"times", "-1"}},
      {{"path", "checkUser"}, {"mode", "garbage"}, {"times", "2x"}},
  };
  for (const auto& fields : bad) EXPECT_TRUE(Has(sim_.PostForm("/sim/fault", fields), "\"error\""));
  EXPECT_EQ(sim_.Get("/sim/faults"), "{}");
}

TEST_F(SimLostAnswerTest, DripSendsTheRealAnswerOneByteASecond) {
  // A GET of a picture: the headers promise the whole answer at once, the
  // body comes a byte a second, and the request was carried out (a new
  // picture drawn for the session, as the captcha control side shows).
  sim_.ArmFault("getPassCodeNew", "drip");
  const std::string received =
      ReadFor(sim_.Port(), std::string(service_paths::kCaptchaPicturePath) + "?module=login&rand=sjrand", 2500ms);
  const std::size_t headerEnd = received.find("\r\n\r\n");
  ASSERT_NE(headerEnd, std::string::npos) << received;
  EXPECT_TRUE(Has(received, "Content-Type: image/jpeg")) << received;
  const long promised = std::atol(Between(received, "Content-Length: ", "\r\n").c_str());
  EXPECT_GT(promised, 1000);
  const std::size_t bodyBytes = received.size() - headerEnd - 4;
  EXPECT_GE(bodyBytes, 1u);
  EXPECT_LE(bodyBytes, 3u);
  EXPECT_TRUE(Has(sim_.State(), "\"sessions\":2")) << "the picture's request made a session";
  // A service that stops does not wait for the drip to end.
  EXPECT_EQ(sim_.Stop(), 0);
}

}  // namespace
}  // namespace quillet::test
