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
        std::string fromText = from, toText = to;
        std::vector<TrainRecord> records;
        if (client.QueryLeftTickets(round % 2 == 1, date, fromText, toText, records) != texts::Success() ||
            records.empty())
          ++failures;
        for (const TrainRecord& train : records)
          if (train.fromTelecode != from || train.toTelecode != to) ++failures;
        client.LastResponse();
      }
    });
  }
  threads.emplace_back([&] {
    for (int round = 0; round < kRounds; ++round) {
      std::vector<PassengerRecord> list;
      if (client.LoadPassengers(list) != texts::Success() || list.size() != 4) ++failures;
      client.Passengers();
      client.RepeatSubmitToken();
    }
  });
  threads.emplace_back([&] {
    for (int round = 0; round < kRounds; ++round) {
      if (client.CheckUser() != texts::Success()) ++failures;
      client.QueryUncompletedOrders();
    }
  });
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(failures, 0);
  std::string stillSignedIn;
  std::thread([&] { stillSignedIn = client.CheckUser(); }).join();
  EXPECT_EQ(stillSignedIn, texts::Success());  // no session cookie was lost
  EXPECT_EQ(client.Passengers().size(), 4u);
}

}  // namespace
}  // namespace quillet
