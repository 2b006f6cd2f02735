// The pause between two queries: it ends by itself, and a stop request ends
// it at once, also one made before it began.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "util/wait.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

TEST(WaitUnlessStopped, EndsByItselfUnlessStopped) {
  std::stop_source source;
  EXPECT_TRUE(WaitUnlessStopped(source.get_token(), 20ms));
  EXPECT_TRUE(WaitUnlessStopped(source.get_token(), 0ms));
  EXPECT_TRUE(WaitUnlessStopped(std::stop_token(), 1ms));  // a token that can never stop
  source.request_stop();
  EXPECT_FALSE(WaitUnlessStopped(source.get_token(), 1h));
}

// A wait of an hour is ended by a stop request from another thread (the
// test would time out otherwise), also when many wait on one source.
TEST(WaitUnlessStopped, AStopRequestEndsEveryWait) {
  std::stop_source source;
  std::atomic<int> stoppedWaits{0};
  std::vector<std::jthread> waiters;
  for (int i = 0; i < 8; ++i) {
    waiters.emplace_back([&] {
      if (!WaitUnlessStopped(source.get_token(), 1h)) stoppedWaits.fetch_add(1);
    });
  }
  std::this_thread::sleep_for(50ms);
  source.request_stop();
  waiters.clear();
  EXPECT_EQ(stoppedWaits.load(), 8);
}

}  // namespace
}  // namespace quillet
