// The client against a service whose query path moved or that throttles.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "net/cookies.h"
#include "support/sim_harness.h"

namespace quillet {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

TEST(ClientQueryPath, FollowsAMovedQueryPathOnceForEveryLaterQuery) {
  test::SimProcess sim({"--query-path", "leftTicket/queryZ"});
  ASSERT_TRUE(sim.Running());
  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  client.SetReuseConnections(false);
  const std::string date = test::ChinaDatePlusDays(4);
  const TrainsResult first = client.QueryLeftTickets(false, date, "VNP", "AOH");
  ASSERT_TRUE(first.Done()) << first.message;
  EXPECT_FALSE(first.trains.empty());
  const std::string moved = std::string(service_paths::kLeftTicketQuery) + "Z";
  EXPECT_EQ(first.movedQueryPath, moved);
  EXPECT_EQ(client.QueryPath(), moved);
  const TrainsResult second = client.QueryLeftTickets(false, date, "VNP", "AOH");
  ASSERT_TRUE(second.Done()) << second.message;
  EXPECT_TRUE(second.movedQueryPath.empty()) << "told once";
  const std::string requests = sim.Requests();
  // One redirect answer, then the new path only.
  std::size_t old = 0;
  const std::string oldPath = "\"path\":\"" + std::string(service_paths::kLeftTicketQuery) + "\"";
  for (std::size_t at = requests.find(oldPath); at != std::string::npos; at = requests.find(oldPath, at + 1)) {
    ++old;
  }
  EXPECT_EQ(old, 1u) << requests;
  EXPECT_TRUE(Has(requests, "\"path\":\"" + moved + "\""));
}

TEST(ClientQueryPath, WorkersQueryingAtOnceMoveThePathOnceBetweenThem) {
  test::SimProcess sim({"--query-path", "leftTicket/queryZ"});
  ASSERT_TRUE(sim.Running());
  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  const std::string date = test::ChinaDatePlusDays(4);
  std::atomic<int> moves{0};
  std::atomic<int> done{0};
  std::vector<std::thread> workers;
  for (int i = 0; i < 4; ++i) {
    workers.emplace_back([&] {
      const TrainsResult result = client.QueryLeftTickets(false, date, "VNP", "AOH");
      if (!result.movedQueryPath.empty()) ++moves;
      if (result.Done()) ++done;
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(moves.load(), 1) << "told once";
  EXPECT_EQ(done.load(), 4);
  EXPECT_EQ(client.QueryPath(), std::string(service_paths::kLeftTicketQuery) + "Z");
}

TEST(ClientQueryPath, AThrottledQueryShowsTheSign) {
  test::SimProcess sim({"--throttle", "1"});
  ASSERT_TRUE(sim.Running());
  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  client.SetReuseConnections(false);
  const std::string date = test::ChinaDatePlusDays(4);
  client.FetchCaptcha();  // a session cookie
  const TrainsResult first = client.QueryLeftTickets(false, date, "VNP", "AOH");
  EXPECT_EQ(first.sign, QueryAnswerSign::kNormal);
  const TrainsResult second = client.QueryLeftTickets(false, date, "VNP", "AOH");
  EXPECT_FALSE(second.Done());
  EXPECT_EQ(second.sign, QueryAnswerSign::kThrottled);
}

}  // namespace
}  // namespace quillet
