// Many threads exchanging at once with one cookie jar.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "exchange_fixture.h"
#include "net/http.h"
#include "raw_http_server.h"
#include "util/text.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

constexpr int kThreads = 16;
constexpr int kRounds = 8;

// Holds the first request of every thread until all of them have arrived,
// which only happens when the exchanges are in flight at the same time.
class Gate {
 public:
  bool Pass() {
    std::unique_lock lock(mutex_);
    ++arrived_;
    opened_.notify_all();
    return opened_.wait_for(lock, 5s, [this] { return arrived_ >= kThreads; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  int arrived_ = 0;
};

TEST(HttpConcurrency, SixteenThreadsShareOneJarInParallelAndLoseNoCookie) {
  Gate gate;
  RawHttpServer server([&gate](const RawRequest& request, RawConnection& connection) {
    // Target: /?t=<thread>&r=<round>
    const std::string thread = TextBetween(request.target, "t=", "&");
    const std::string round = request.target.substr(request.target.find("r=") + 2);
    std::string body = "ok";
    if (round == "0") body = gate.Pass() ? "together" : "alone";
    connection.Send(
        Answer(200, {"Set-Cookie: c" + thread + "_" + round + "=v; Path=/", "Set-Cookie: shared=" + thread}, body));
  });

  CookieJar jar("base=1");
  std::vector<std::string> firstAnswers(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int r = 0; r < kRounds; ++r) {
          Call call{server.Url("/?t=" + std::to_string(t) + "&r=" + std::to_string(r))};
          call.options.timeout = 20s;
          const std::string answer = call.Send(jar);
          if (r == 0) firstAnswers[t] = answer;
        }
      });
    }
  }

  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(firstAnswers[t], "together") << "thread " << t;

  std::multiset<std::string> names;
  for (const std::string& pair : SplitText(jar.Text(), "; ")) names.insert(pair.substr(0, pair.find('=')));
  for (int t = 0; t < kThreads; ++t) {
    for (int r = 0; r < kRounds; ++r) {
      EXPECT_EQ(names.count("c" + std::to_string(t) + "_" + std::to_string(r)), 1u) << "thread " << t << " round " << r;
    }
  }
  EXPECT_EQ(names.count("base"), 1u);
  EXPECT_EQ(names.count("shared"), 1u);
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kThreads * kRounds + 2));
  EXPECT_EQ(server.Requests().size(), static_cast<std::size_t>(kThreads * kRounds));
}

}  // namespace
}  // namespace quillet::test
