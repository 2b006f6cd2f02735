// The client against a loopback server scripted in the test, for answers the
// rehearsal service never gives and for transport failures.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "booking/client.h"
#include "booking/texts.h"
#include "net/cookies.h"
#include "util/codepage.h"

namespace quillet {
namespace {

namespace texts = booking_texts;

std::string G(std::u8string_view text) { return Gbk(text); }
std::string U(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

struct Received {
  std::string method;
  std::string path;
  std::string query;
  std::string body;
};

// Answers each path with the next text of its script (the last one repeats).
class ScriptedServer {
 public:
  ScriptedServer() {
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
      std::string answer;
      {
        std::lock_guard lock(mutex_);
        std::string query;
        for (const auto& [key, value] : request.params) query += key + "=" + value + "&";
        received_.push_back({request.method, request.path, query, request.body});
        auto& script = scripts_[request.path];
        std::size_t& next = served_[request.path];
        if (!script.empty()) answer = script[std::min(next++, script.size() - 1)];
      }
      // A delayed answer gives way when the server is shut down.
      const auto until = std::chrono::steady_clock::now() + delay_.load();
      while (!stopping_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      response.set_content(answer, "application/json;charset=UTF-8");
    };
    // One request per connection, so that shutting down never waits for an idle keep-alive.
    server_.set_keep_alive_max_count(1);
    server_.Get(".*", handler);
    server_.Post(".*", handler);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~ScriptedServer() {
    stopping_ = true;
    server_.stop();
    thread_.join();
  }

  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
  void Script(const std::string& path, std::vector<std::string> answers) {
    std::lock_guard lock(mutex_);
    scripts_[path] = std::move(answers);
  }
  std::vector<Received> Requests() const {
    std::lock_guard lock(mutex_);
    return received_;
  }
  void SetDelay(std::chrono::milliseconds delay) { delay_ = delay; }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<std::chrono::milliseconds> delay_{std::chrono::milliseconds(0)};
  std::atomic<bool> stopping_ = false;
  mutable std::mutex mutex_;
  std::map<std::string, std::vector<std::string>> scripts_;
  std::map<std::string, std::size_t> served_;
  std::vector<Received> received_;
};

// A loopback port that was free a moment ago and now refuses connections.
int ClosedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

class ScriptedAnswers : public ::testing::Test {
 protected:
  ScriptedServer server_;
  CookieJar jar_;
  BookingClient client_{server_.BaseUrl(), jar_};
};

TEST_F(ScriptedAnswers, AManualCheckMessageComesBackWordForWord) {
  server_.Script("/otn/confirmPassenger/resultOrderForDcQueue",
                 {U(u8R"({"status":false,"messages":["出票结果不明，请手动查询订单"],"data":{}})")});
  const std::string result = client_.ResultOrderForDcQueue("E123", "tok");
  EXPECT_EQ(result, G(u8"出票结果不明，请手动查询订单"));
}

TEST_F(ScriptedAnswers, NullOrderIdsGiveNoIdUntilOneComes) {
  const std::string waiting = R"({"status":true,"data":{"waitTime":4,"orderId":null},"messages":[]})";
  server_.Script("/otn/confirmPassenger/queryOrderWaitTime",
                 {waiting, waiting, waiting, R"({"status":true,"data":{"orderId":"E201234567"}})"});
  for (int poll = 0; poll < 3; ++poll) EXPECT_EQ(client_.QueryOrderWaitTime("dc", "tok"), "") << poll;
  EXPECT_EQ(client_.QueryOrderWaitTime("dc", "tok"), "E201234567");

  const std::vector<Received> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].body, "");
}

TEST_F(ScriptedAnswers, ASuccessMarkerCountsWhereverItStands) {
  server_.Script("/otn/leftTicket/submitOrderRequest",
                 {R"({"status":false,"messages":["busy status":true"]})"});
  EXPECT_EQ(client_.SubmitOrderRequest("s", "2026-12-12", "2026-12-12", "ADULT", "A", "B"), texts::Success());
}

TEST_F(ScriptedAnswers, ShortTrainTextsAreSkipped) {
  std::string full, shortText;
  for (int i = 0; i < 36; ++i) full += (i ? "|" : "") + std::string(i == 3 ? "G1" : i == 6 ? "VAP" : i == 7 ? "SHH" : "x");
  for (int i = 0; i < 20; ++i) shortText += (i ? "|" : "") + std::string(i == 3 ? "G2" : "y");
  server_.Script("/otn/leftTicket/query", {R"({"data":{"flag":"1","map":{},"result":[")" + shortText + R"(",")" +
                                           full + R"("]},"messages":"","status":true})"});
  std::string from = "VAP", to = "SHH";
  std::vector<TrainRecord> records;
  EXPECT_EQ(client_.QueryLeftTickets(false, "2026-12-12", from, to, records), texts::Success());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].stationTrainCode, "G1");
  EXPECT_EQ(records[0].fromStationName, G(u8"北京北"));
}

TEST_F(ScriptedAnswers, ForeignAnswersAreNoValidAnswer) {
  server_.Script("/otn/leftTicket/query", {"<html><body>502 Bad Gateway</body></html>"});
  server_.Script("/otn/confirmPassenger/initDc", {"<html>var globalRepeatSubmitToken = 'T1';</html>"});
  server_.Script("/otn/confirmPassenger/getPassengerDTOs", {R"({"data":{"normal_passengers":[)"});
  std::string from = "VAP", to = "SHH";
  std::vector<TrainRecord> records;
  EXPECT_EQ(client_.QueryLeftTickets(false, "2026-12-12", from, to, records), texts::NoValidAnswer());
  std::vector<PassengerRecord> passengers;
  EXPECT_EQ(client_.LoadPassengers(passengers), texts::NoValidAnswer());
  EXPECT_TRUE(records.empty());
  EXPECT_TRUE(passengers.empty());
  EXPECT_EQ(client_.RepeatSubmitToken(), "T1");
}

// Nothing listens on the address: every operation takes its failure path.
TEST(UnreachableService, EveryOperationReportsItsFailure) {
  const int freePort = ClosedLoopbackPort();
  CookieJar jar;
  BookingClient client("http://127.0.0.1:" + std::to_string(freePort), jar);
  std::string errorText;
  EXPECT_FALSE(client.Login("u", "p", "1,2", errorText));
  EXPECT_EQ(errorText, texts::CaptchaWrong());
  EXPECT_EQ(client.FetchCaptcha(), "");
  EXPECT_EQ(client.CheckUser(), texts::CheckUserFailed());
  std::vector<PassengerRecord> passengers;
  EXPECT_EQ(client.LoadPassengers(passengers), texts::NoValidAnswer());
  std::string from = G(u8"北京|BJP"), to = G(u8"上海|SHH");
  std::vector<TrainRecord> records;
  EXPECT_EQ(client.QueryLeftTickets(false, "2026-12-12", from, to, records), texts::NoValidAnswer());
  EXPECT_EQ(client.SubmitOrderRequest("s", "d", "d", "ADULT", "a", "b"), "");
  std::string token = "x", left = "x", dateMs = "x", key = "x";
  EXPECT_EQ(client.InitDc(token, left, dateMs, key), texts::Failed());
  EXPECT_EQ(token + left + dateMs + key, "");
  std::string ticketStr, oldStr;
  EXPECT_EQ(client.CheckOrderInfo("O", "1", "n", "1", "1", "2", ticketStr, oldStr, "t"), "");
  EXPECT_EQ(client.GetQueueCount("1765468800000", "n", "G1", "O", "A", "B", "l", "00", "t"),
            texts::QueueCountFailed());
  EXPECT_EQ(client.ConfirmSingleForQueue("a", "b", "", "00", "k", "l", "P2", "", "000", "00", "N", "t"), "");
  EXPECT_EQ(client.QueryOrderWaitTime("dc", "t"), "");
  EXPECT_EQ(client.ResultOrderForDcQueue("E1", "t"), "");
  EXPECT_EQ(client.QueryUncompletedOrders(), texts::NoResult());
}

TEST_F(ScriptedAnswers, AStoppedOperationSendsNothingMore) {
  std::stop_source stopped;
  stopped.request_stop();
  std::string errorText;
  EXPECT_FALSE(client_.Login("u", "p", "1,2", errorText, stopped.get_token()));
  EXPECT_EQ(client_.CheckUser(stopped.get_token()), texts::CheckUserFailed());
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(ScriptedAnswers, AStopAbandonsAnExchangeInFlight) {
  server_.SetDelay(std::chrono::seconds(5));
  server_.Script("/otn/login/checkUser", {R"({"data":{"flag":true}})"});
  std::stop_source stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop.request_stop();
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(client_.CheckUser(stop.get_token()), texts::CheckUserFailed());
  stopper.join();
  // Far below the server's delay: the call did not wait for the answer.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

}  // namespace
}  // namespace quillet
