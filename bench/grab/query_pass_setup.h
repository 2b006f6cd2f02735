#pragma once
// What the query-pass benchmarks share: quillet-sim answering every request
// late, a signed-in client, a sold-out train that sells second class, and the
// CPU time and peak RSS of this process.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "booking/client.h"
#include "grab/sim_support.h"
#include "net/cookies.h"

namespace quillet::bench {

struct CpuSample {
  double userSeconds = 0;
  double systemSeconds = 0;
  long peakRssKib = 0;
};

inline CpuSample SampleProcess() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss};
}

// quillet-sim with `latencyMs` on every answer and no tickets given back
// during a run, a client signed in to it, and a train of the travel date
// that sells second class with its second class sold out.
struct QueryPassSetup {
  explicit QueryPassSetup(const std::string& latencyMs)
      : sim({"--latency-ms", latencyMs, "--release-every", "3600", "--seed", "3"}), client(sim.BaseUrl(), jar) {}

  // False, with a message on standard error, when something is missing.
  bool Prepare() {
    if (!sim.Running()) return Fail("quillet-sim did not start");
    if (!test::SignIn(client, sim, 3) || (passengers = client.LoadPassengers().passengers).empty()) {
      return Fail("cannot sign in");
    }
    const std::vector<TrainRecord> trains = client.QueryLeftTickets(false, date, "BJP", "SHH").trains;
    const auto train = std::find_if(trains.begin(), trains.end(), [](const TrainRecord& t) {
      return t.canWebBuy == "Y" && t.secondClassSeat != "--";
    });
    if (train == trains.end()) return Fail("no train with second class");
    trainCode = train->stationTrainCode;
    sim.Release(date, trainCode, "O", 0);
    return true;
  }

  static bool Fail(const char* why) {
    std::fprintf(stderr, "%s\n", why);
    return false;
  }

  test::SimProcess sim;
  CookieJar jar;
  BookingClient client;
  std::vector<PassengerRecord> passengers;
  const std::string date = test::ChinaDate(3);
  std::string trainCode;
};

}  // namespace quillet::bench
