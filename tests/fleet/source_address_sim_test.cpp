// Clients bound to their own source addresses, as the members of a fleet on
// one machine are: the service tells them apart by address.
#include <gtest/gtest.h>

#include <string>

#include "booking/client.h"
#include "net/cookies.h"
#include "support/sim_harness.h"

namespace quillet {
namespace {

std::size_t CountOf(const std::string& text, const std::string& marker) {
  std::size_t count = 0;
  for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) ++count;
  return count;
}

TEST(SourceAddress, TheServiceLogsEachClientsAddressAndThrottlesEachOnItsOwn) {
  test::SimProcess sim({"--throttle", "2"});
  ASSERT_TRUE(sim.Running());
  // One sign-in shared by two members, as in a fleet: the same session
  // cookie comes from two addresses.
  CookieJar jar;
  BookingClient first(sim.BaseUrl(), jar);
  BookingClient second(sim.BaseUrl(), jar);
  first.SetSourceAddress("127.0.0.2");
  second.SetSourceAddress("127.0.0.3");
  EXPECT_EQ(first.SourceAddress(), "127.0.0.2");
  ASSERT_TRUE(first.FetchCaptcha().Done());  // the session cookie
  ASSERT_NE(jar.Text().find("JSESSIONID="), std::string::npos) << jar.Text();

  const std::string date = test::ChinaDatePlusDays(3);
  EXPECT_EQ(first.QueryLeftTickets(false, date, "VNP", "AOH").sign, QueryAnswerSign::kNormal);
  EXPECT_EQ(first.QueryLeftTickets(false, date, "VNP", "AOH").sign, QueryAnswerSign::kNormal);
  const TrainsResult tooMany = first.QueryLeftTickets(false, date, "VNP", "AOH");
  EXPECT_EQ(tooMany.sign, QueryAnswerSign::kThrottled);
  // The same session from the other address has a budget of its own.
  const TrainsResult other = second.QueryLeftTickets(false, date, "VNP", "AOH");
  EXPECT_TRUE(other.Done()) << other.message;
  EXPECT_EQ(other.sign, QueryAnswerSign::kNormal);
  EXPECT_EQ(second.QueryLeftTickets(false, date, "VNP", "AOH").sign, QueryAnswerSign::kNormal);

  const std::string log = sim.Requests();
  EXPECT_EQ(CountOf(log, "\"address\":\"127.0.0.3\""), 2u) << log;
  EXPECT_GE(CountOf(log, "\"address\":\"127.0.0.2\""), 4u) << log;
  EXPECT_EQ(CountOf(log, "\"address\":\"127.0.0.1\""), 0u) << log;
}

TEST(SourceAddress, AnAddressTheMachineDoesNotHaveFailsTheExchangeCleanly) {
  test::SimProcess sim;
  ASSERT_TRUE(sim.Running());
  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  client.SetSourceAddress("192.0.2.77");  // documentation range: on no machine
  const TrainsResult result = client.QueryLeftTickets(false, test::ChinaDatePlusDays(3), "VNP", "AOH");
  EXPECT_FALSE(result.Done());
  EXPECT_EQ(result.kind, ServiceResultKind::kTransportFailure);
  EXPECT_EQ(result.transport, ExchangeOutcome::kCouldNotConnect);
  // Unbound again, it works.
  client.SetSourceAddress("");
  EXPECT_TRUE(client.QueryLeftTickets(false, test::ChinaDatePlusDays(3), "VNP", "AOH").Done());
}

}  // namespace
}  // namespace quillet
