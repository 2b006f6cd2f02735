// Several threads calling operations of one client at once: every call gets
// its own answer, the shared session stays signed in, and the kept copies
// are read and written under their lock.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "booking/client.h"
#include "booking/texts.h"
#include "net/cookies.h"
#include "support/sim_harness.h"
#include "support/sim_steps.h"

namespace quillet {
namespace {

namespace texts = booking_texts;

TEST(ClientConcurrency, OperationsOnOneClientRunAtOnce) {
  test::SimProcess sim;
  ASSERT_TRUE(sim.Running());
  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  // Every exchange runs on a thread that ends before the service is stopped,
  // so no kept-alive connection outlives the test (the service would wait
  // for it before ending).
  bool signedIn = false;
  std::thread([&] { signedIn = test::SignIn(client, sim); }).join();
  ASSERT_TRUE(signedIn);

  // Each querying thread has its own station pair and must only ever see
  // trains of that pair.
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"BJP", "SHH"}, {"SHH", "BJP"}, {"VAP", "AOH"}, {"IZQ", "CUW"}};
  const std::string date = test::ChinaDate(2);
  constexpr int kRounds = 6;
  std::atomic<int> failures = 0;
  std::vector<std::thread> threads;
  for (const auto& [from, to] : pairs) {
    threads.emplace_back([&, from = from, to = to] {
      for (int round = 0; round < kRounds; ++round) {
        const TrainsResult result = client.QueryLeftTickets(round % 2 == 1, date, from, to);
        if (!result.Done() || result.trains.empty()) ++failures;
        for (const TrainRecord& train : result.trains)
          if (train.fromTelecode != from || train.toTelecode != to) ++failures;
        client.LastResponse();
      }
    });
  }
  threads.emplace_back([&] {
    for (int round = 0; round < kRounds; ++round) {
      const PassengersResult result = client.LoadPassengers();
      if (!result.Done() || result.passengers.size() != 4) ++failures;
      client.RepeatSubmitToken();
    }
  });
  threads.emplace_back([&] {
    for (int round = 0; round < kRounds; ++round) {
      if (!client.CheckUser().Done()) ++failures;
    }
  });
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(failures, 0);
  ServiceResult stillSignedIn;
  std::thread([&] { stillSignedIn = client.CheckUser(); }).join();
  EXPECT_TRUE(stillSignedIn.Done());  // no session cookie was lost
  EXPECT_EQ(stillSignedIn.message, texts::Success());
}

}  // namespace
}  // namespace quillet
