// The control endpoints, the request log, faults and the process itself.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "booking/service_paths.h"
#include "raw_connection.h"
#include "sim_fixture.h"

extern char** environ;

namespace quillet::test {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

TEST(SimControl, RequestLogKeepsWhatWasReceivedByteForByte) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  client.Get(std::string(service_paths::kLeftTicketQuery) + "?leftTicketDTO.train_date=2026-01-01&x=%2B+|");
  // Raw UTF-8, a key without "=", a GBK byte pair that is not UTF-8, a control character.
  client.Post(service_paths::kSubmitOrderRequest,
              "query_from_station_name=北京南&a=%E5%BC%A0&undefined&gbk=\xB1\xB1&tab=\x01");
  sim.State();  // control requests are not logged

  const std::string log = sim.Requests();
  EXPECT_TRUE(Has(log, "\"method\":\"GET\",\"path\":\"" + std::string(service_paths::kLeftTicketQuery) +
                           "\","
                           "\"query\":\"leftTicketDTO.train_date=2026-01-01&x=%2B+|\",\"headers\":{"))
      << log;
  EXPECT_TRUE(Has(log, "\"X-Requested-With\":\"XMLHttpRequest\""));
  EXPECT_TRUE(Has(
      log, "\"method\":\"POST\",\"path\":\"" + std::string(service_paths::kSubmitOrderRequest) + "\",\"query\":\"\""));
  EXPECT_TRUE(Has(log, "\"Content-Type\":\"application/x-www-form-urlencoded; charset=UTF-8\""));
  EXPECT_TRUE(
      Has(log, "\"body\":\"query_from_station_name=北京南&a=%E5%BC%A0&undefined&gbk=\\u00b1\\u00b1&tab=\\u0001\"}"))
      << log;
  EXPECT_FALSE(Has(log, "/sim/"));
  EXPECT_EQ(log.front(), '[');
  EXPECT_EQ(log.back(), ']');
  // Times count up from the start.
  const long long t1 = std::atoll(Between(log, "\"t\":", ",").c_str());
  const long long t2 = std::atoll(Between(log, "\"t\":", ",", log.rfind("\"t\":")).c_str());
  EXPECT_LE(t1, t2);
  EXPECT_GE(t1, 0);

  const std::string state = sim.State();
  EXPECT_TRUE(Has(state, "\"requests\":{\"" + std::string(service_paths::kLeftTicketQuery) + "\":1,\"" +
                             service_paths::kSubmitOrderRequest + "\":1}"))
      << state;
}

TEST(SimControl, RequestLogHoldsTheLatestTwoThousand) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  httplib::Client client(sim.BaseUrl());
  for (int i = 0; i < 2005; ++i) client.Get(("/otn/nothing?n=" + std::to_string(i)).c_str());
  const std::string log = sim.Requests();
  EXPECT_FALSE(Has(log, "\"query\":\"n=4\""));
  EXPECT_TRUE(Has(log, "\"query\":\"n=5\""));
  EXPECT_TRUE(Has(log, "\"query\":\"n=2004\""));
  EXPECT_TRUE(Has(sim.State(), "\"/otn/nothing\":2005"));
}

TEST(SimControl, ResetForgetsSessionsBookingsAndTheLog) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  ASSERT_TRUE(client.SignIn());
  EXPECT_TRUE(Has(sim.State(), "\"sessions\":1"));
  sim.Reset();
  EXPECT_EQ(sim.State(), "{\"bookings\":[],\"waitlist\":[],\"requests\":{},\"sessions\":0}");
  EXPECT_EQ(sim.Requests(), "[]");
  EXPECT_TRUE(Has(client.Post(service_paths::kCheckUser, "_json_att=").body, "flag\":false"));
}

TEST(SimControl, ReleaseChecksItsInput) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  const std::string date = ChinaDatePlusDays(2);
  EXPECT_TRUE(Has(sim.Release(date, "G1", "O", 4), "\"count\":4"));
  EXPECT_TRUE(Has(sim.Release("2026-13-01", "G1", "O", 4), "error"));
  EXPECT_TRUE(Has(sim.Release(date, "X1", "O", 4), "error"));
  EXPECT_TRUE(Has(sim.Release(date, "G1", "3", 4), "no seat type")) << "G trains have no hard sleepers";
  EXPECT_TRUE(Has(sim.Release(date, "G1", "O", -1), "error"));
  EXPECT_TRUE(Has(sim.Get("/sim/captcha?session=NOPE"), "{\"cells\":[]}"));
  EXPECT_TRUE(Has(sim.Get("/sim/unknown"), "error"));
}

TEST(SimControl, UnknownPathsGetAnHtml404) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  for (const SimAnswer& a : {client.Get("/otn/unknown"), client.Get(service_paths::kCheckUser),
                             client.Post(service_paths::kLeftTicketQuery, "")}) {
    EXPECT_EQ(a.status, 404);
    EXPECT_TRUE(Has(a.body, "<html"));
  }
}

// Requests with neither a length nor chunks have no body; the service must
// not wait for one.
TEST(SimControl, EndpointsThatNeedNoInputTakeARequestWithoutBody) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  const struct {
    const char* method;
    const char* path;
    const char* marker;
  } cases[] = {
      {"GET", "/sim/state", "\"bookings\":["},
      {"GET", "/sim/requests", "["},
      {"GET", "/sim/sales", "\"sales\":["},
      {"POST", "/sim/reset", "{\"reset\":true}"},
  };
  for (const auto& c : cases) {
    for (const char* length : {"", "Content-Length: 0\r\n"}) {
      RawConnection connection(sim.Port());
      ASSERT_TRUE(connection.Open());
      ASSERT_TRUE(
          connection.Send(std::string(c.method) + " " + c.path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + length + "\r\n"));
      std::string answer;
      EXPECT_EQ(connection.ReadAnswer(3000, &answer), 200) << c.method << " " << c.path << " " << length << answer;
      EXPECT_TRUE(Has(answer, c.marker)) << answer;
    }
  }
}

TEST(SimControl, ControlEndpointsNeedTheSwitch) {
  // The harness always passes --control; start one without it by hand.
  const std::string binary = SimBinaryPath();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<std::string> args = {binary, "--port", "0"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string line;
  char c = 0;
  while (read(fds[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  close(fds[0]);
  ASSERT_EQ(line.rfind("listening on http://127.0.0.1:", 0), 0u) << line;
  httplib::Client client(line.substr(13));
  const auto state = client.Get("/sim/state");
  ASSERT_TRUE(state);
  EXPECT_EQ(state->status, 404);
  EXPECT_TRUE(Has(state->body, "<html"));
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(SimControl, SigtermEndsItCleanly) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  EXPECT_EQ(sim.Stop(), 0);
}

// Runs quillet-sim with the arguments to its end; returns the exit code
// and what it wrote.
int RunSim(const std::vector<std::string>& extra, std::string& output) {
  // One that keeps running instead of ending is stopped (and then ends with 0).
  std::string command = "timeout 20 " + SimBinaryPath();
  for (const std::string& a : extra) command += " '" + a + "'";
  command += " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[512];
  output.clear();
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SimProcessOptions, HelpListsTheOptionsWithDefaults) {
  std::string out;
  EXPECT_EQ(RunSim({"--help"}, out), 0);
  for (const char* option : {"--host", "--port", "--seed", "--account", "--captcha-cells", "--release-every",
                             "--max-unpaid", "--session-ttl", "--qr-ttl", "--latency-ms", "--fault-rate", "--faults",
                             "--control", "--tls-cert", "--tls-key"}) {
    EXPECT_TRUE(Has(out, option)) << option;
  }
  EXPECT_TRUE(Has(out, "default 10"));
}

TEST(SimProcessOptions, BadOptionsExitWithCodeTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"--frobnicate"},
      {"--port"},
      {"--port", "70000"},
      {"--port", "12x"},
      {"--fault-rate", "1.5"},
      {"--faults", "fire"},
      {"--captcha-cells", "9"},
      {"--captcha-cells", ""},
      {"--account", "nocolon"},
      {"--session-ttl", "0"},
      {"--qr-ttl", "0"},
      {"--qr-ttl", "soon"},
      {"--max-unpaid", "0"},
      {"--max-sessions", "0"},
      {"--tls-cert", "x.pem"},
      {"--tls-cert", "/nonexistent.pem", "--tls-key", "/nonexistent.key"},
      {"--clock-shift-ms", "1.5"},
      {"--clock-shift-ms", "99999999999999"},
      {"--sale", "2026-12-06"},
      {"--sale", "2026-12-06@2026-12-01"},
      {"--sale", "2026-13-06@2026-12-01 08:00:00"},
      {"--sale", "2026-12-06@2026-12-01 08:00:00.12345"},
      {"--sale", "2026-12-06@1013-12-11 08:00:00"},
  };
  for (const auto& args : cases) {
    std::string out;
    EXPECT_EQ(RunSim(args, out), 2) << args[0] << ": " << out;
    EXPECT_TRUE(Has(out, "quillet-sim: ")) << out;
  }
}

TEST(SimProcessOptions, ASecondSimOnTheSamePortExitsWithTheReason) {
  SimProcess first;
  ASSERT_TRUE(first.Running());
  const std::string address = "127.0.0.1:" + std::to_string(first.Port());
  std::string out;
  EXPECT_EQ(RunSim({"--port", std::to_string(first.Port())}, out), 1) << out;
  EXPECT_FALSE(Has(out, "listening")) << out;
  EXPECT_TRUE(Has(out, "quillet-sim: cannot listen on " + address + ": " + std::strerror(EADDRINUSE))) << out;
  // The first one still has every connection.
  SimConversation client(first);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(client.Get(service_paths::kLoginPage).status, 200);
}

TEST(SimProcessOptions, LatencyDelaysEveryAnswer) {
  SimProcess sim({"--latency-ms", "300"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  const auto start = std::chrono::steady_clock::now();
  client.Get(service_paths::kLoginPage);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST(SimProcessOptions, ServesHttpsWithACertificate) {
  char dir[] = "/tmp/quillet-sim-tls-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string key = std::string(dir) + "/key.pem";
  const std::string cert = std::string(dir) + "/cert.pem";
  const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -keyout " + key + " -out " + cert +
                              " -days 1 -subj /CN=127.0.0.1 >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "openssl cannot make a certificate here";
  {
    SimProcess sim({"--tls-cert", cert, "--tls-key", key});
    ASSERT_TRUE(sim.Running());
    EXPECT_EQ(sim.BaseUrl().rfind("https://127.0.0.1:", 0), 0u) << sim.BaseUrl();
    SimConversation client(sim);
    EXPECT_TRUE(client.SignIn());
    EXPECT_EQ(sim.Stop(), 0);
  }
  std::remove(key.c_str());
  std::remove(cert.c_str());
  rmdir(dir);
}

struct FaultCase {
  const char* kind;
  std::function<void(const SimAnswer&)> check;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.kind; }

class SimFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SimFaultTest, FaultReplacesTheAnswerAndNothingHappens) {
  SimProcess sim({"--fault-rate", "1", "--faults", GetParam().kind});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  const SimAnswer answer = client.Get(service_paths::kLoginPage);
  GetParam().check(answer);
  // The request was not carried out, and the control side is never faulted.
  EXPECT_TRUE(Has(sim.State(), "\"sessions\":0"));
  EXPECT_TRUE(Has(sim.State(), "\"" + std::string(service_paths::kLoginPage) + "\":1"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SimFaultTest,
    ::testing::Values(FaultCase{"502",
                                [](const SimAnswer& a) {
                                  EXPECT_EQ(a.status, 502);
                                  EXPECT_TRUE(Has(a.body, "Bad Gateway"));
                                }},
                      FaultCase{"empty",
                                [](const SimAnswer& a) {
                                  EXPECT_EQ(a.status, 200);
                                  EXPECT_EQ(a.body, "");
                                }},
                      FaultCase{"truncated", [](const SimAnswer& a) { EXPECT_EQ(a.status, 0) << a.body; }},
                      FaultCase{"drop", [](const SimAnswer& a) { EXPECT_EQ(a.status, 0) << a.body; }},
                      FaultCase{"garbage",
                                [](const SimAnswer& a) {
                                  EXPECT_EQ(a.status, 200);
                                  EXPECT_FALSE(Has(a.body, "<html"));
                                }},
                      FaultCase{"busy",
                                [](const SimAnswer& a) {
                                  EXPECT_TRUE(Has(a.body, "\"status\":false")) << a.body;
                                  EXPECT_TRUE(Has(a.body, "\"messages\":[\"系统繁忙，请稍后重试！\"]")) << a.body;
                                }}),
    [](const auto& test) {
      return std::string(test.param.kind == std::string("502") ? "BadGateway" : test.param.kind);
    });

TEST(SimFaults, DelayedAnswersAreStillCarriedOut) {
  SimProcess sim({"--fault-rate", "1", "--faults", "delay"});
  ASSERT_TRUE(sim.Running());
  SimConversation client(sim);
  EXPECT_EQ(client.Get(service_paths::kLoginPage).status, 200);
  EXPECT_TRUE(client.HasCookie("JSESSIONID"));
  EXPECT_TRUE(Has(sim.State(), "\"sessions\":1"));
}

}  // namespace
}  // namespace quillet::test
