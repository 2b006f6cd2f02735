// quillet-sim under many clients at once and under faults.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <thread>

#include "booking/service_paths.h"
#include "sim_fixture.h"

namespace quillet::test {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

int CountOf(const std::string& text, const std::string& marker) {
  int n = 0;
  for (std::size_t p = text.find(marker); p != std::string::npos; p = text.find(marker, p + 1)) ++n;
  return n;
}

TEST(SimLoad, ThirtyTwoClientsOrderTheLastFiveTickets) {
  SimProcess sim({"--max-unpaid", "100", "--release-every", "0", "--seed", "21"});
  ASSERT_TRUE(sim.Running());
  constexpr int kClients = 32;
  OrderValues base;
  {
    SimConversation setup(sim);
    base = PrepareOrder(sim, setup, 5);
    ASSERT_FALSE(base.train.empty());
  }
  std::latch ready(kClients);
  std::atomic<int> booked{0};
  std::atomic<int> soldOut{0};
  std::atomic<int> setupFailures{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&] {
      SimConversation client(sim);
      OrderValues v = base;
      bool ok = client.SignIn();
      client.InitDc(v);
      v.idNo = PassengerIdNo(client.Post(service_paths::kPassengers, "_json_att=&REPEAT_SUBMIT_TOKEN=" + v.token).body,
                             v.passengerName);
      ok = ok && Has(client.SubmitOrderRequest(v).body, "status\":true");
      client.InitDc(v);
      ok = ok && Has(client.CheckOrderInfo(v).body, "submitStatus\":true");
      ok = ok && Has(client.GetQueueCount(v).body, "status\":true");
      if (!ok) ++setupFailures;
      ready.arrive_and_wait();  // everyone confirms at once
      const std::string answer = client.ConfirmSingleForQueue(v).body;
      if (Has(answer, "submitStatus\":true")) ++booked;
      if (Has(answer, "余票不足")) ++soldOut;
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(setupFailures.load(), 0);
  EXPECT_EQ(booked.load(), 5);
  EXPECT_EQ(soldOut.load(), kClients - 5);
  EXPECT_EQ(CountOf(sim.State(), "\"orderId\":"), 5);
  EXPECT_EQ(sim.Get("/sim/stock?date=" + base.date + "&train=" + base.train[3] + "&seat=O"), "{\"count\":0}");
}

TEST(SimLoad, ServesSixtyFourConnectionsAtOnce) {
  // Each request is held 1.5 s; all 64 can only arrive before the first is
  // answered when every connection has a thread of its own.
  SimProcess sim({"--latency-ms", "1500"});
  ASSERT_TRUE(sim.Running());
  constexpr int kConnections = 64;
  std::latch start(kConnections);
  std::atomic<int> answered{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kConnections; ++i) {
    threads.emplace_back([&, i] {
      httplib::Client client(sim.BaseUrl());
      client.set_keep_alive(true);
      client.set_read_timeout(30);
      start.arrive_and_wait();
      for (int r = 0; r < 2; ++r) {
        const auto result = client.Get((std::string(service_paths::kLoginPage) + "?c=" + std::to_string(i)).c_str());
        if (result && result->status == 200) ++answered;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(answered.load(), 2 * kConnections);
  const std::string log = sim.Requests();
  long long first = -1, last = -1;
  int seen = 0;
  for (std::size_t p = log.find("\"t\":"); p != std::string::npos && seen < kConnections;
       p = log.find("\"t\":", p + 1), ++seen) {
    const long long t = std::atoll(log.c_str() + p + 4);
    if (first < 0) first = t;
    last = t;
  }
  EXPECT_EQ(seen, kConnections);
  EXPECT_LT(last - first, 1500) << "the first requests were not all taken at once";
}

// Clients keep ordering while a fifth of the answers are faulty. Nothing may
// crash, and a booking exists exactly when its client saw the confirmation.
TEST(SimLoad, SoakWithFaults) {
  SimProcess sim({"--fault-rate", "0.2", "--max-unpaid", "100000", "--release-every", "0.5", "--seed", "33"});
  ASSERT_TRUE(sim.Running());
  OrderValues base;
  base.date = ChinaDatePlusDays(5);
  base.fromTelecode = kFrom;
  base.toTelecode = kTo;
  base.fromName = kFromName;
  base.toName = kToName;
  {
    SimConversation setup(sim);
    for (int i = 0; i < 50 && base.train.empty(); ++i) {  // the query itself may be faulted
      const auto trains = setup.Query(base.date, kFrom, kTo);
      const auto* train = FirstTrainWith(trains, "O");
      if (train != nullptr) base.train = *train;
    }
    ASSERT_FALSE(base.train.empty());
    sim.Release(base.date, base.train[3], "O", 100000);
  }
  constexpr int kThreads = 8;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  std::atomic<int> confirmed{0};
  std::atomic<int> completed{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      while (std::chrono::steady_clock::now() < until) {
        SimConversation client(sim);
        if (!client.SignIn()) continue;
        OrderValues v = base;
        client.InitDc(v);
        v.idNo = PassengerIdNo(
            client.Post(service_paths::kPassengers, "_json_att=&REPEAT_SUBMIT_TOKEN=" + v.token).body, v.passengerName);
        for (int order = 0; order < 5 && std::chrono::steady_clock::now() < until; ++order) {
          client.Query(v.date, kFrom, kTo);
          if (!Has(client.SubmitOrderRequest(v).body, "status\":true")) continue;
          client.InitDc(v);
          if (!Has(client.CheckOrderInfo(v).body, "submitStatus\":true")) continue;
          client.GetQueueCount(v);
          if (!Has(client.ConfirmSingleForQueue(v).body, "submitStatus\":true")) continue;
          ++confirmed;
          v.orderId.clear();
          for (int poll = 0; poll < 6 && v.orderId.empty(); ++poll) client.QueryOrderWaitTime(v);
          if (Has(client.ResultOrderForDcQueue(v).body, "submitStatus\":true")) ++completed;
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  const std::string state = sim.State();
  ASSERT_TRUE(Has(state, "\"bookings\":[")) << "the service no longer answers";
  EXPECT_GT(confirmed.load(), 0);
  EXPECT_EQ(CountOf(state, "\"orderId\":"), confirmed.load());
  EXPECT_EQ(CountOf(state, "\"status\":\"unpaid\""), completed.load());
  EXPECT_EQ(sim.Stop(), 0) << "quillet-sim did not end cleanly (a crash, or leaks under the sanitizer)";
}

}  // namespace
}  // namespace quillet::test
