// The cost of a query pass: N grab workers on sold-out wishes (each pass is
// one left-ticket query, the answer read, the wanted train looked at, and
// the idle pause) against quillet-sim, which answers every request 20 ms
// late. Prints the CPU time of this process per pass (user + system, from
// getrusage; quillet-sim is a separate process and is not counted) and the
// process's peak resident set size.
//
// Usage: bench_query_pass [workers=50] [seconds=20] [latency-ms=20]
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "booking/client.h"
#include "grab/grab_controller.h"
#include "grab/sim_support.h"
#include "net/cookies.h"
#include "util/codepage.h"

using namespace quillet;
using namespace std::chrono_literals;

namespace {

// Counts the passes (one attempt event per pass) and anything logged.
class CountingEvents : public GrabEvents {
 public:
  void OnGrabAttempt(std::size_t, std::uint32_t, const std::string&) override {
    passes_.fetch_add(1, std::memory_order_relaxed);
  }
  void OnGrabLogLine(const std::string&) override { logLines_.fetch_add(1, std::memory_order_relaxed); }

  long Passes() const { return passes_.load(); }
  long LogLines() const { return logLines_.load(); }

 private:
  std::atomic<long> passes_{0};
  std::atomic<long> logLines_{0};
};

struct CpuSample {
  double userSeconds = 0;
  double systemSeconds = 0;
  long peakRssKib = 0;
};

CpuSample SampleProcess() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
  const int workers = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  const std::string latency = argc > 3 ? std::to_string(std::max(0, std::atoi(argv[3]))) : "20";

  test::SimProcess sim({"--latency-ms", latency, "--release-every", "3600", "--seed", "3"});
  if (!sim.Running()) {
    std::fprintf(stderr, "quillet-sim did not start\n");
    return 1;
  }
  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  std::vector<PassengerRecord> passengers;
  if (!test::SignIn(client, sim, 3) || (passengers = client.LoadPassengers().passengers).empty()) {
    std::fprintf(stderr, "cannot sign in\n");
    return 1;
  }

  // A train that sells second class, sold out: every pass finds it and finds no ticket.
  const std::string date = test::ChinaDate(3);
  const std::vector<TrainRecord> trains = client.QueryLeftTickets(false, date, "BJP", "SHH").trains;
  const auto train = std::find_if(trains.begin(), trains.end(),
                                  [](const TrainRecord& t) { return t.canWebBuy == "Y" && t.secondClassSeat != "--"; });
  if (train == trains.end()) {
    std::fprintf(stderr, "no train with second class\n");
    return 1;
  }
  const std::string code = train->stationTrainCode;
  sim.Release(date, code, "O", 0);

  const OrderWish wish =
      WishFromTaskRow(test::WishRow(code, date, passengers.front(), Gbk(u8"成人票(1)"), Gbk(u8"二等座| ,")));
  CountingEvents view;
  GrabController grab(client, view, test::ChinaDate(0));  // the program's pacing
  grab.StartGrabbing(std::vector<OrderWish>(static_cast<std::size_t>(workers), wish));
  std::this_thread::sleep_for(2s);  // every worker started and connected

  const CpuSample before = SampleProcess();
  const long passesBefore = view.Passes();
  const long logLinesBefore = view.LogLines();
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const CpuSample after = SampleProcess();
  const long passes = view.Passes() - passesBefore;
  const long logLines = view.LogLines() - logLinesBefore;  // a booking would show here
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  grab.StopAndJoinAll();
  const CpuSample end = SampleProcess();

  const double user = after.userSeconds - before.userSeconds;
  const double system = after.systemSeconds - before.systemSeconds;
  const auto perPassUs = [passes](double s) { return passes > 0 ? s / static_cast<double>(passes) * 1e6 : 0.0; };
  std::printf(
      "workers %d, latency %s ms, %.1f s: %ld passes (%.1f/s); CPU per pass %.1f us (user %.1f, system "
      "%.1f); peak RSS %.1f MB; log lines %ld\n",
      workers, latency.c_str(), elapsed, passes, static_cast<double>(passes) / elapsed, perPassUs(user + system),
      perPassUs(user), perPassUs(system), end.peakRssKib / 1024.0, logLines);
  return passes > 0 && logLines == 0 ? 0 : 1;
}
