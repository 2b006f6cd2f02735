#pragma once
// What the query-pass benchmarks share: quillet-sim answering every request
// late, a signed-in client, a sold-out train that sells second class, and the
// CPU time and peak RSS of this process.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
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

// What the process spent over a measured stretch of passes.
struct PassWindow {
  long passes = 0;
  double elapsedSeconds = 0;
  CpuSample before;
  CpuSample after;

  double UsPerPass(double seconds) const { return passes > 0 ? seconds / static_cast<double>(passes) * 1e6 : 0.0; }
  // "S s: N passes (R/s); CPU per pass C us (user U, system Y)"
  std::string Figures() const {
    const double user = after.userSeconds - before.userSeconds;
    const double system = after.systemSeconds - before.systemSeconds;
    char text[200];
    std::snprintf(text, sizeof text, "%.1f s: %ld passes (%.1f/s); CPU per pass %.1f us (user %.1f, system %.1f)",
                  elapsedSeconds, passes, static_cast<double>(passes) / elapsedSeconds, UsPerPass(user + system),
                  UsPerPass(user), UsPerPass(system));
    return text;
  }
};

// Lets the workers run for `seconds` and measures them; countPasses()
// gives the number of passes so far.
template <typename CountPasses>
PassWindow MeasurePasses(int seconds, CountPasses&& countPasses) {
  PassWindow window;
  window.before = SampleProcess();
  const long passesBefore = countPasses();
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  window.after = SampleProcess();
  window.passes = countPasses() - passesBefore;
  window.elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return window;
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
