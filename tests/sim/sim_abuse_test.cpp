// quillet-sim against clients that hold connections open, send bodies
// without end or make sessions without end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "booking/service_paths.h"
#include "raw_connection.h"
#include "sim_fixture.h"

namespace quillet::test {
namespace {

// The most memory the process has held so far (VmHWM), in bytes.
long long PeakMemoryBytes(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  }
  return -1;
}

TEST(SimAbuse, SignsInWhileFiveHundredSlowConnectionsAreOpen) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  constexpr int kSlow = 500;
  std::vector<std::unique_ptr<RawConnection>> slow;
  for (int i = 0; i < kSlow; ++i) {
    slow.push_back(std::make_unique<RawConnection>(sim.Port()));
    ASSERT_TRUE(slow.back()->Open()) << "connection " << i;
  }
  // Every connection sends its request line a byte a second.
  const std::string line = "GET /otn/login/init HTTP/1.1\r\n";
  std::mutex mutex;
  std::condition_variable wake;
  bool done = false;
  std::thread drip([&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (std::size_t i = 0; !done; ++i) {
      for (auto& connection : slow) connection->Send(line.substr(i % line.size(), 1));
      wake.wait_for(lock, std::chrono::seconds(1), [&] { return done; });
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));

  const auto start = std::chrono::steady_clock::now();
  SimConversation client(sim);
  const bool signedIn = client.SignIn();
  const auto took = std::chrono::steady_clock::now() - start;
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  wake.notify_all();
  drip.join();
  EXPECT_TRUE(signedIn);
  EXPECT_LT(took, std::chrono::seconds(2))
      << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}

struct BodyCase {
  const char* name;
  const char* head;  // what is sent first
  bool chunked;      // then 100 MiB in 64 KiB chunks, else as they are
  int status;        // the answer
};

void PrintTo(const BodyCase& body, std::ostream* out) { *out << body.name; }

class SimBodyLimitTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(SimBodyLimitTest, HundredMegabytesAreRefused) {
  SimProcess sim;
  ASSERT_TRUE(sim.Running());
  const long long before = PeakMemoryBytes(sim.Pid());
  constexpr std::size_t kTotal = 100 * 1024 * 1024;
  constexpr std::size_t kPiece = 64 * 1024;
  RawConnection connection(sim.Port());
  ASSERT_TRUE(connection.Open());
  ASSERT_TRUE(connection.Send(GetParam().head));
  const std::string piece =
      GetParam().chunked ? "10000\r\n" + std::string(kPiece, 'a') + "\r\n" : std::string(kPiece, 'a');
  // Sends until the answer comes, the service closes, or all is sent.
  for (std::size_t sent = 0; sent < kTotal && !connection.Readable(0); sent += kPiece) {
    if (!connection.Send(piece)) break;
  }
  std::string answer;
  EXPECT_EQ(connection.ReadAnswer(10000, &answer), GetParam().status) << answer.substr(0, 200);
  ASSERT_GT(before, 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // The sanitizers' own bookkeeping makes any process larger.
  const long long peak = PeakMemoryBytes(sim.Pid());
  EXPECT_LT(peak - before, 50LL * 1024 * 1024) << "peak " << peak << " bytes";
  EXPECT_LT(peak, 100LL * 1024 * 1024) << "peak " << peak << " bytes";
#endif
  // The service goes on answering.
  SimConversation client(sim);
  EXPECT_EQ(client.Get(service_paths::kLoginPage).status, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, SimBodyLimitTest,
    ::testing::Values(BodyCase{"Chunked",
                               "POST /otn/login/checkUser HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n\r\n",
                               true, 413},
                      BodyCase{"WithLength",
                               "POST /otn/login/checkUser HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 104857600\r\n\r\n",
                               false, 413},
                      BodyCase{"HeaderLineWithoutEnd", "GET /otn/login/init HTTP/1.1\r\nX-Long: ", false, 400}),
    [](const ::testing::TestParamInfo<BodyCase>& param) { return std::string(param.param.name); });

// A client that keeps sending, but too slowly to finish its request within
// --read-timeout, is cut off then.
TEST(SimAbuse, ARequestThatTakesLongerThanTheReadTimeoutIsCutOff) {
  SimProcess sim({"--read-timeout", "1"});
  ASSERT_TRUE(sim.Running());
  RawConnection connection(sim.Port());
  ASSERT_TRUE(connection.Open());
  const std::string request = "GET /otn/login/init HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
  const auto start = std::chrono::steady_clock::now();
  bool ended = false;
  for (std::size_t i = 0; i < 100 && !ended; ++i) {
    connection.Send(i < request.size() ? request.substr(i, 1) : "a");
    // A byte every 100 ms is well within the wait for each piece.
    ended = connection.Readable(100);
  }
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(ended) << "still open after 10 s";
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::seconds(5));  // the 10 s default would take the whole loop
  // A prompt request on a new connection is served.
  SimConversation client(sim);
  EXPECT_EQ(client.Get(service_paths::kLoginPage).status, 200);
}

TEST(SimAbuse, SessionsAreCappedAndTheOneIdleLongestGoes) {
  SimProcess sim({"--max-sessions", "20"});
  ASSERT_TRUE(sim.Running());
  // Two sessions with a captcha picture, so that the control side can tell
  // whether each is still known.
  SimConversation kept(sim);
  SimConversation dropped(sim);
  const std::string captcha = std::string(service_paths::kCaptchaPicturePath) + "?module=login&rand=sjrand";
  ASSERT_EQ(kept.Get(captcha).status, 200);
  ASSERT_EQ(dropped.Get(captcha).status, 200);
  for (int i = 0; i < 18; ++i) SimConversation(sim).Get(service_paths::kLoginPage);
  EXPECT_EQ(Between(sim.State(), "\"sessions\":", "}"), "20");
  kept.Get(service_paths::kLoginPage);                  // now the other one has been idle longest
  SimConversation(sim).Get(service_paths::kLoginPage);  // one more than the cap
  EXPECT_FALSE(sim.CaptchaCells(kept.SessionId()).empty());
  EXPECT_TRUE(sim.CaptchaCells(dropped.SessionId()).empty());
  for (int i = 0; i < 200; ++i) SimConversation(sim).Get(service_paths::kLoginPage);
  EXPECT_EQ(Between(sim.State(), "\"sessions\":", "}"), "20");
}

}  // namespace
}  // namespace quillet::test
