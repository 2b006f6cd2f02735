// From tickets seen to the holder's first order request, against a
// quillet-sim and a redis-server started here, told by the sim's request log
// (arrival times in ms on this machine's clock):
//   alone: a member that queries the whole wish sees the tickets itself;
//          from its query's arrival to its order's first request;
//   fleet: another member (its own address) sees them and publishes the
//          sighting; from that member's query's arrival to the holder's
//          first order request.
// The difference of the medians is what the fleet adds.
//
// Usage: bench_fleet_reaction [rounds-each=6]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "booking/service_paths.h"
#include "fleet/fleet_member.h"
#include "fleet/redis_url.h"
#include "session/session.h"
#include "support/redis_process.h"
#include "support/sim_harness.h"
#include "support/sim_json.h"
#include "support/sim_steps.h"
#include "util/codepage.h"

namespace {

using namespace std::chrono_literals;
using namespace quillet;
using namespace quillet::fleet;

struct Arrival {
  std::string address, path, query;
  std::int64_t unixMs = 0;
};

std::vector<Arrival> Arrivals(const test::SimProcess& sim) {
  std::vector<Arrival> arrivals;
  test::Json log;
  if (!test::JsonReader::Parse(sim.Requests(), log)) return arrivals;
  for (const test::Json& entry : log.items) {
    arrivals.push_back({entry["address"].text, entry["path"].text, entry["query"].text,
                        static_cast<std::int64_t>(entry["unix_ms"].number)});
  }
  return arrivals;
}

// The holder's first order request after `from`, less the last query of the
// date by `seer` before it; -1 when the log lacks either.
double ReactionMs(const std::vector<Arrival>& log, std::size_t from, const std::string& holder, const std::string& seer,
                  const std::string& date) {
  std::int64_t seen = -1;
  for (std::size_t i = from; i < log.size(); ++i) {
    const Arrival& a = log[i];
    if (a.address == seer && a.path == service_paths::kLeftTicketQuery && a.query.find(date) != std::string::npos) {
      seen = a.unixMs;
    }
    if (a.address == holder && a.path == service_paths::kCheckUser) {
      return seen < 0 ? -1 : static_cast<double>(a.unixMs - seen);
    }
  }
  return -1;
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Bench {
  test::SimProcess& sim;
  RedisAddress redis;
  std::string cookies;
  OrderWish wish;
  std::string trainUtf8;
  int round = 0;

  // One round: `members` members (the first holds the account and queries
  // the first date; with two, the second queries the second date), tickets
  // released on the second date.
  double Run(int members) {
    ++round;
    const std::vector<std::string> addresses = {"127.0.0.2", "127.0.0.3"};
    OrderWish roundWish = wish;
    roundWish.dates = {test::ChinaDate(2 * round), test::ChinaDate(2 * round + 1)};
    for (const std::string& date : roundWish.dates) sim.Release(date, trainUtf8, "O", 0);
    auto store = std::make_shared<FleetStore>(redis, "bench-" + std::to_string(round));
    std::vector<std::unique_ptr<Session>> sessions;
    std::vector<std::unique_ptr<FleetMember>> fleet;
    for (int m = 0; m < members; ++m) {
      SessionSettings settings;
      settings.service.address = sim.BaseUrl();
      settings.account = "demo";
      settings.pacing.afterIdlePass = 100ms;
      sessions.push_back(std::make_unique<Session>(settings));
      sessions.back()->Client().SetSourceAddress(addresses[m]);
      sessions.back()->AddWish(roundWish);
      FleetMemberSettings member;
      member.member = "m" + std::to_string(m);
      member.address = addresses[m];
      member.account = "demo";
      member.shareIndex = m;
      member.shareCount = members;
      fleet.push_back(std::make_unique<FleetMember>(*sessions.back(), store, member));
    }
    sessions[0]->Client().Cookies().SetText(cookies);
    sessions[0]->UseSignInFromElsewhere("demo");
    fleet[0]->Start();
    while (!fleet[0]->HoldsAccount()) std::this_thread::sleep_for(10ms);
    for (int m = 1; m < members; ++m) fleet[m]->Start();
    std::this_thread::sleep_for(400ms);
    const std::size_t from = Arrivals(sim).size();
    sim.Release(roundWish.dates[1], trainUtf8, "O", 1);
    for (auto& member : fleet) member->WaitUntilAllDone(20s);
    for (auto& session : sessions) session->Close();
    fleet.clear();
    return ReactionMs(Arrivals(sim), from, addresses[0], addresses[members - 1], roundWish.dates[1]);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;
  if (rounds > 7) {
    std::fprintf(stderr, "at most 7 rounds each: every round books on dates of its own within the presale\n");
    return 1;
  }
  test::RedisProcess redis;
  test::SimProcess sim({"--max-unpaid", "100", "--release-every", "0"});
  if (!redis.Running() || !sim.Running()) return 1;

  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  if (!test::SignIn(client, sim, 3)) return 1;
  const std::vector<PassengerRecord> passengers = client.LoadPassengers().passengers;
  const std::vector<TrainRecord> trains = client.QueryLeftTickets(false, test::ChinaDate(2), "BJP", "SHH").trains;
  const auto train = std::find_if(trains.begin(), trains.end(),
                                  [](const TrainRecord& t) { return t.canWebBuy == "Y" && t.secondClassSeat != "--"; });
  if (passengers.empty() || train == trains.end()) return 1;

  Bench bench{sim, *ParseRedisUrl(redis.Url()).address, jar.Text(), {}, {}, 0};
  bench.wish.choice = OrderWish::Choice::kParty;
  bench.wish.trains = {train->stationTrainCode};
  bench.wish.from = {GbkFromUtf8("北京"), "BJP"};
  bench.wish.to = {GbkFromUtf8("上海"), "SHH"};
  const PassengerRecord& p = passengers.front();
  bench.wish.passengers.push_back({p.passenger_name, p.passenger_type, p.passenger_id_type_code, p.passenger_id_no});
  bench.wish.ticketType = "1";
  bench.wish.seatTypes = {"O"};
  bench.trainUtf8 = train->stationTrainCode;

  std::vector<double> alone, fleet;
  for (int r = 0; r < rounds; ++r) {
    alone.push_back(bench.Run(1));
    fleet.push_back(bench.Run(2));
  }
  std::printf("rounds: %d each (ms, arrival to arrival at the sim)\n", rounds);
  std::printf("alone: seen by its own query -> order:    ");
  for (double ms : alone) std::printf(" %.0f", ms);
  std::printf("  median %.0f\n", Median(alone));
  std::printf("fleet: seen by another member -> order:   ");
  for (double ms : fleet) std::printf(" %.0f", ms);
  std::printf("  median %.0f\n", Median(fleet));
  std::printf("added by the fleet (median difference): %.0f ms\n", Median(fleet) - Median(alone));
  return 0;
}
