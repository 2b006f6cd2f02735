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
#include "booking/service_paths.h"
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
      // "REDIRECT /path" sends the client on, as the service does after a step.
      if (answer.starts_with("REDIRECT ")) {
        response.set_redirect(answer.substr(9));
        return;
      }
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

using Kind = ServiceResultKind;

class ScriptedAnswers : public ::testing::Test {
 protected:
  ScriptedAnswers() { client_.SetRetryPause(std::chrono::milliseconds(1)); }
  int RequestsTo(const std::string& path) const {
    int count = 0;
    for (const Received& r : server_.Requests()) count += r.path == path;
    return count;
  }

  ScriptedServer server_;
  CookieJar jar_;
  BookingClient client_{server_.BaseUrl(), jar_};
};

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF picture";
const std::string kBusy = U(u8R"({"status":false,"messages":["系统繁忙，请稍后重试！"]})");
const std::string kPassengerList =
    U(u8R"({"data":{"normal_passengers":[{"passenger_name":"张三","sex_name":"男","passenger_id_type_code":"1",)"
      u8R"("passenger_id_type_name":"二代身份证","passenger_id_no":"110","passenger_type":"1",)"
      u8R"("passenger_type_name":"成人","mobile_no":"","phone_no":"","email":""}]},"status":true,"messages":[]})");

// A service that spoils answers now and then: every sign-in step tries
// again after a garbled answer, a page that is not a picture, or a "busy",
// and the sign-in and the passenger load get through.
TEST_F(ScriptedAnswers, SignInStepsTryAgainAfterSpoiledAnswers) {
  server_.Script(service_paths::kLoginPage, {"<html>login</html>"});
  server_.Script(service_paths::kCaptchaPicturePath, {"<html>500 Internal Server Error</html>", kBusy, kJpeg});
  server_.Script(service_paths::kCaptchaCheck, {"", R"({"data":{"result":"1","msg":"TRUE"}})"});
  server_.Script(service_paths::kLogin, {kBusy, R"({"data":{"loginCheck":"Y"},"status":true})"});
  server_.Script(service_paths::kLoginConfirm, {"\x01\x02garbage", "REDIRECT /otn/index/initMy12306"});
  server_.Script(service_paths::kSignedInHome, {"<html>my page</html>"});
  server_.Script(service_paths::kOrderPage, {"", "<html>var globalRepeatSubmitToken = 'T9';</html>"});
  server_.Script(service_paths::kPassengers, {"{\"data\":{\"normal_pa", kPassengerList});

  const CaptchaResult captcha = client_.FetchCaptcha();
  EXPECT_TRUE(captcha.Done());
  EXPECT_EQ(captcha.picture, kJpeg);
  const LoginResult login = client_.Login("u", "p", "1,2");
  EXPECT_TRUE(login.Done()) << static_cast<int>(login.decidedBy.step);
  const PassengersResult passengers = client_.LoadPassengers();
  EXPECT_TRUE(passengers.Done());
  ASSERT_EQ(passengers.passengers.size(), 1u);
  EXPECT_EQ(passengers.passengers[0].passenger_name, G(u8"张三"));
  EXPECT_EQ(client_.RepeatSubmitToken(), "T9");

  const std::pair<const char*, int> tries[] = {
      {service_paths::kLoginPage, 1},  {service_paths::kCaptchaPicturePath, 3}, {service_paths::kCaptchaCheck, 2},
      {service_paths::kLogin, 2},      {service_paths::kLoginConfirm, 2},       {service_paths::kOrderPage, 2},
      {service_paths::kPassengers, 2},
  };
  for (const auto& [path, count] : tries) EXPECT_EQ(RequestsTo(path), count) << path;
}

// What the service says no to is taken at once; what never comes right is
// reported as what it was, at the step where it happened.
TEST_F(ScriptedAnswers, RefusalsAreNotTriedAgainAndSpoiledStepsNameThemselves) {
  const struct {
    const char* name;
    std::map<std::string, std::vector<std::string>> scripts;
    const char* triedPath;
    int tries;
    Kind kind;
    SignInStep step;
    std::string message;
  } cases[] = {
      {"wrong captcha answer",
       {{service_paths::kCaptchaCheck, {R"({"data":{"result":"0","msg":"FALSE"}})"}}},
       service_paths::kCaptchaCheck,
       1,
       Kind::kCaptchaRefused,
       SignInStep::kCaptchaCheck,
       texts::CaptchaWrong()},
      {"garbled captcha check",
       {{service_paths::kCaptchaCheck, {"<html>502 Bad Gateway</html>"}}},
       service_paths::kCaptchaCheck,
       3,
       Kind::kNoValidAnswer,
       SignInStep::kCaptchaCheck,
       texts::CaptchaWrong()},
      {"wrong password",
       {{service_paths::kCaptchaCheck, {R"({"data":{"msg":"TRUE"}})"}},
        {service_paths::kLogin, {U(u8R"({"status":false,"messages":["密码输入错误"]})")}}},
       service_paths::kLogin,
       1,
       Kind::kRefused,
       SignInStep::kLogin,
       G(u8"密码输入错误")},
      {"busy login",
       {{service_paths::kCaptchaCheck, {R"({"data":{"msg":"TRUE"}})"}}, {service_paths::kLogin, {kBusy}}},
       service_paths::kLogin,
       3,
       Kind::kRefused,
       SignInStep::kLogin,
       G(u8"系统繁忙，请稍后重试！")},
      {"sent back to the login page",
       {{service_paths::kCaptchaCheck, {R"({"data":{"msg":"TRUE"}})"}},
        {service_paths::kLogin, {R"({"data":{"loginCheck":"Y"}})"}},
        {service_paths::kLoginConfirm, {"REDIRECT /otn/login/init"}}},
       service_paths::kLoginConfirm,
       1,
       Kind::kRefused,
       SignInStep::kLoginConfirm,
       texts::SignInNotConfirmed()},
      {"confirmation never sent on",
       {{service_paths::kCaptchaCheck, {R"({"data":{"msg":"TRUE"}})"}},
        {service_paths::kLogin, {R"({"data":{"loginCheck":"Y"}})"}},
        {service_paths::kLoginConfirm, {kBusy}}},
       service_paths::kLoginConfirm,
       3,
       Kind::kRefused,
       SignInStep::kLoginConfirm,
       texts::SignInNotConfirmed()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server;
    for (const auto& [path, answers] : c.scripts) server.Script(path, answers);
    server.Script(service_paths::kLoginPage, {"<html>login</html>"});
    CookieJar jar;
    BookingClient client(server.BaseUrl(), jar);
    client.SetRetryPause(std::chrono::milliseconds(1));
    const LoginResult result = client.Login("u", "p", "1,2");
    EXPECT_EQ(result.kind, c.kind);
    EXPECT_EQ(result.decidedBy.step, c.step);
    EXPECT_EQ(result.message, c.message);
    int tries = 0;
    for (const Received& r : server.Requests()) tries += r.path == c.triedPath;
    EXPECT_EQ(tries, c.tries);
  }
}

TEST_F(ScriptedAnswers, APictureThatNeverComesIsReportedNotShown) {
  server_.Script(service_paths::kCaptchaPicturePath, {"<html>500 Internal Server Error</html>"});
  const CaptchaResult captcha = client_.FetchCaptcha();
  EXPECT_EQ(captcha.kind, Kind::kNoValidAnswer);
  EXPECT_EQ(captcha.decidedBy.step, SignInStep::kCaptchaPicture);
  EXPECT_EQ(captcha.picture, "");
  EXPECT_EQ(RequestsTo(service_paths::kCaptchaPicturePath), BookingClient::kSignInTries);
}

TEST_F(ScriptedAnswers, AStopEndsThePauseBetweenTries) {
  client_.SetRetryPause(std::chrono::seconds(30));
  server_.Script(service_paths::kCaptchaCheck, {"garbled"});
  std::stop_source stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop.request_stop();
  });
  const auto started = std::chrono::steady_clock::now();
  const LoginResult result = client_.Login("u", "p", "1,2", stop.get_token());
  stopper.join();
  EXPECT_EQ(result.kind, Kind::kStopped);
  EXPECT_EQ(RequestsTo(service_paths::kCaptchaCheck), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST_F(ScriptedAnswers, AManualCheckMessageComesBackWordForWord) {
  server_.Script(service_paths::kOrderResult,
                 {U(u8R"({"status":false,"messages":["出票结果不明，请手动查询订单"],"data":{}})")});
  const ServiceResult result = client_.ResultOrderForDcQueue("E123", "tok");
  EXPECT_EQ(result.kind, Kind::kRefused);
  EXPECT_EQ(result.message, G(u8"出票结果不明，请手动查询订单"));
}

TEST_F(ScriptedAnswers, NullOrderIdsGiveNoIdUntilOneComes) {
  const std::string waiting = R"({"status":true,"data":{"waitTime":4,"orderId":null},"messages":[]})";
  server_.Script(service_paths::kOrderWaitTime,
                 {waiting, waiting, waiting, R"({"status":true,"data":{"orderId":"E201234567"}})"});
  for (int poll = 0; poll < 3; ++poll) {
    const OrderIdResult none = client_.QueryOrderWaitTime("dc", "tok");
    EXPECT_EQ(none.orderId, "") << poll;
    EXPECT_EQ(none.kind, Kind::kNoValidAnswer) << poll;
  }
  const OrderIdResult id = client_.QueryOrderWaitTime("dc", "tok");
  EXPECT_EQ(id.orderId, "E201234567");
  EXPECT_TRUE(id.Done());

  const std::vector<Received> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].body, "");
}

TEST_F(ScriptedAnswers, ASuccessMarkerCountsWhereverItStands) {
  server_.Script(service_paths::kSubmitOrderRequest, {R"({"status":false,"messages":["busy status":true"]})"});
  const ServiceResult result = client_.SubmitOrderRequest("s", "2026-12-12", "2026-12-12", "ADULT", "A", "B");
  EXPECT_TRUE(result.Done());
  EXPECT_EQ(result.message, texts::Success());
}

TEST_F(ScriptedAnswers, ShortTrainTextsAreSkipped) {
  std::string full, shortText;
  for (int i = 0; i < 36; ++i)
    full += (i ? "|" : "") + std::string(i == 3 ? "G1" : i == 6 ? "VAP" : i == 7 ? "SHH" : "x");
  for (int i = 0; i < 20; ++i) shortText += (i ? "|" : "") + std::string(i == 3 ? "G2" : "y");
  server_.Script(service_paths::kLeftTicketQuery, {R"({"data":{"flag":"1","map":{},"result":[")" + shortText +
                                                   R"(",")" + full + R"("]},"messages":"","status":true})"});
  const TrainsResult result = client_.QueryLeftTickets(false, "2026-12-12", "VAP", "SHH");
  EXPECT_TRUE(result.Done());
  ASSERT_EQ(result.trains.size(), 1u);
  EXPECT_EQ(result.trains[0].stationTrainCode, "G1");
  EXPECT_EQ(result.trains[0].fromStationName, G(u8"北京北"));
}

// One table of the result kinds the operations report: a refusal with the
// service's message, an answer the operation does not know, and success.
TEST_F(ScriptedAnswers, ResultKindsOfServiceAnswers) {
  server_.Script(service_paths::kLeftTicketQuery,
                 {"<html><body>502 Bad Gateway</body></html>",
                  U(u8R"({"status":false,"messages":["选择的查询日期不在预售日期范围内"]})")});
  server_.Script(service_paths::kOrderPage, {"<html>var globalRepeatSubmitToken = 'T1';</html>"});
  server_.Script(service_paths::kPassengers, {R"({"data":{"normal_passengers":[)"});
  server_.Script(service_paths::kCaptchaCheck,
                 {R"({"data":{"result":"0","msg":"FALSE"}})", R"({"data":{"result":"1","msg":"TRUE"}})"});
  server_.Script(service_paths::kLogin, {U(u8R"({"status":true,"messages":["密码输入错误"]})")});
  server_.Script(service_paths::kQueueCount,
                 {R"({"data":{"count":"9","ticket":"0,0","op_2":"true"},"status":true})", "{}"});
  server_.Script(service_paths::kCheckOrderInfo, {R"({"data":{"submitStatus":true},"status":true})"});

  const TrainsResult foreign = client_.QueryLeftTickets(false, "2026-12-12", "VAP", "SHH");
  const TrainsResult refused = client_.QueryLeftTickets(false, "2026-12-12", "VAP", "SHH");
  const PassengersResult cut = client_.LoadPassengers();
  const ServiceResult wrongCaptcha = client_.Login("u", "p", "1,2");
  const ServiceResult wrongPassword = client_.Login("u", "p", "1,2");
  const ServiceResult queueLonger = client_.GetQueueCount("1", "n", "G1", "O", "A", "B", "l", "00", "t");
  const ServiceResult queueForeign = client_.GetQueueCount("1", "n", "G1", "O", "A", "B", "l", "00", "t");
  const OrderPageResult page = client_.InitDc();
  const OrderInfoResult info = client_.CheckOrderInfo("O", "1", {G(u8"张三"), "1", "1", "110"}, "t");

  const struct {
    const char* name;
    const ServiceResult& result;
    Kind kind;
    std::string message;
  } cases[] = {
      {"foreign query answer", foreign, Kind::kNoValidAnswer, texts::NoValidAnswer()},
      {"refused query", refused, Kind::kRefused, G(u8"选择的查询日期不在预售日期范围内")},
      {"cut passenger list", cut, Kind::kNoValidAnswer, texts::NoValidAnswer()},
      {"wrong captcha", wrongCaptcha, Kind::kCaptchaRefused, texts::CaptchaWrong()},
      {"wrong password", wrongPassword, Kind::kRefused, G(u8"密码输入错误")},
      {"queue longer than stock", queueLonger, Kind::kRefused, texts::QueueLongerThanStock()},
      {"foreign queue answer", queueForeign, Kind::kNoValidAnswer, texts::QueueCountFailed()},
      {"page without the left-ticket text", page, Kind::kNoValidAnswer, texts::Failed()},
      {"order info accepted", info, Kind::kDone, texts::Success()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.result.kind, c.kind);
    EXPECT_EQ(c.result.message, c.message);
    EXPECT_EQ(c.result.transport, ExchangeOutcome::kOk);
  }
  EXPECT_TRUE(foreign.trains.empty());
  EXPECT_TRUE(cut.passengers.empty());
  EXPECT_EQ(client_.RepeatSubmitToken(), "T1");
  EXPECT_EQ(info.passengerTicketStr, "O%2C0%2C1%2C%E5%BC%A0%E4%B8%89%2C1%2C110%2C%2CN");
}

// Nothing listens on the address: every operation takes its failure path,
// with the texts the window has always shown.
TEST(UnreachableService, EveryOperationReportsItsFailure) {
  const int freePort = ClosedLoopbackPort();
  CookieJar jar;
  BookingClient client("http://127.0.0.1:" + std::to_string(freePort), jar);
  client.SetRetryPause(std::chrono::milliseconds(1));
  const LoginResult login = client.Login("u", "p", "1,2");
  // The captcha check is the step that failed: its text still makes the
  // window ask for a new captcha, as it always has; the kind is the real one.
  EXPECT_EQ(login.kind, Kind::kTransportFailure);
  EXPECT_EQ(login.message, texts::CaptchaWrong());
  EXPECT_EQ(login.transport, ExchangeOutcome::kCouldNotConnect);
  EXPECT_EQ(login.decidedBy.step, SignInStep::kCaptchaCheck);
  const CaptchaResult captcha = client.FetchCaptcha();
  EXPECT_EQ(captcha.picture, "");
  const PassengersResult passengers = client.LoadPassengers();
  const TrainsResult trains = client.QueryLeftTickets(false, "2026-12-12", G(u8"北京|BJP"), G(u8"上海|SHH"));
  const OrderPageResult page = client.InitDc();
  EXPECT_EQ(page.values.repeatSubmitToken + page.values.leftTicketStr + page.values.trainDateMs +
                page.values.keyCheckIsChange,
            "");
  const OrderIdResult orderId = client.QueryOrderWaitTime("dc", "t");
  EXPECT_EQ(orderId.orderId, "");

  const struct {
    const char* name;
    ServiceResult result;
    std::string message;
  } cases[] = {
      {"captcha", captcha, texts::NoValidAnswer()},
      {"check user", client.CheckUser(), texts::CheckUserFailed()},
      {"passengers", passengers, texts::NoValidAnswer()},
      {"query", trains, texts::NoValidAnswer()},
      {"submit", client.SubmitOrderRequest("s", "d", "d", "ADULT", "a", "b"), ""},
      {"order page", page, texts::Failed()},
      {"order info", client.CheckOrderInfo("O", "1", {"n", "1", "1", "2"}, "t"), ""},
      {"queue count", client.GetQueueCount("1765468800000", "n", "G1", "O", "A", "B", "l", "00", "t"),
       texts::QueueCountFailed()},
      {"confirm", client.ConfirmSingleForQueue("a", "b", "", "00", "k", "l", "P2", "", "000", "00", "N", "t"), ""},
      {"order id", orderId, ""},
      {"order result", client.ResultOrderForDcQueue("E1", "t"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.result.kind, Kind::kTransportFailure);
    EXPECT_EQ(c.result.transport, ExchangeOutcome::kCouldNotConnect);
    EXPECT_EQ(c.result.message, c.message);
  }
}

TEST_F(ScriptedAnswers, AStoppedOperationSendsNothingMore) {
  std::stop_source stopped;
  stopped.request_stop();
  const ServiceResult login = client_.Login("u", "p", "1,2", stopped.get_token());
  EXPECT_EQ(login.kind, Kind::kStopped);
  const ServiceResult user = client_.CheckUser(stopped.get_token());
  EXPECT_EQ(user.kind, Kind::kStopped);
  EXPECT_EQ(user.message, texts::CheckUserFailed());
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(ScriptedAnswers, AStopAbandonsAnExchangeInFlight) {
  server_.SetDelay(std::chrono::seconds(5));
  server_.Script(service_paths::kCheckUser, {R"({"data":{"flag":true}})"});
  std::stop_source stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop.request_stop();
  });
  const auto started = std::chrono::steady_clock::now();
  const ServiceResult result = client_.CheckUser(stop.get_token());
  EXPECT_EQ(result.kind, Kind::kStopped);
  EXPECT_EQ(result.transport, ExchangeOutcome::kStopped);
  EXPECT_EQ(result.message, texts::CheckUserFailed());
  stopper.join();
  // Far below the server's delay: the call did not wait for the answer.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

}  // namespace
}  // namespace quillet
