// Reaction time of a grab worker: from the moment a ticket of a sold-out
// class comes back to the moment the service receives the worker's
// confirmSingleForQueue, read from the service's own request times.
//
// quillet-sim answers every request 20 ms late. The ideal is the mean pause
// before the next query (half of the 200 ms idle pause), the query itself,
// and the six chain requests up to the confirmation, 20 ms each: 240 ms.
//
// Usage: bench_grab_reaction [trials per mode, default 60]
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "grab/grab_controller.h"
#include "grab/sim_support.h"
#include "net/cookies.h"
#include "util/codepage.h"

using namespace quillet;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kLatencyMs = 20;
constexpr double kIdealMs = 200.0 / 2 + kLatencyMs + 6 * kLatencyMs;

double NowMs() { return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count(); }

// Both processes read the same monotonic clock; the service counts from its
// own start. The offset is found from requests whose send time is known.
double ServiceClockOffset(const test::SimProcess& sim) {
  httplib::Client probe("127.0.0.1", sim.Port());
  std::vector<double> sent;
  for (int i = 0; i < 5; ++i) {
    sent.push_back(NowMs());
    probe.Get("/bench/clock-probe");
  }
  std::vector<double> received;
  for (const auto& request : test::RequestsTo(test::SimRequests(sim), "/bench/clock-probe"))
    received.push_back(request.t);
  double offset = 1e18;
  for (std::size_t i = 0; i < std::min(sent.size(), received.size()); ++i) {
    offset = std::min(offset, received[received.size() - sent.size() + i] - sent[i]);
  }
  return offset;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  test::SimProcess sim({"--latency-ms", "20", "--max-unpaid", "100000", "--release-every", "3600", "--seed", "3"});
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
  const auto adult = std::find_if(passengers.begin(), passengers.end(),
                                  [](const PassengerRecord& p) { return p.passenger_type == "1"; });
  if (adult == passengers.end()) return 1;

  const std::string date = test::ChinaDate(3);
  const std::vector<TrainRecord> trains = client.QueryLeftTickets(false, date, "BJP", "SHH").trains;
  const auto train = std::find_if(trains.begin(), trains.end(),
                                  [](const TrainRecord& t) { return t.canWebBuy == "Y" && t.secondClassSeat != "--"; });
  if (train == trains.end()) return 1;
  const std::string code = train->stationTrainCode;
  const double offset = ServiceClockOffset(sim);

  std::mt19937 random(11);
  for (const bool reuse : {true, false}) {
    client.SetReuseConnections(reuse);
    std::vector<double> reactions, chains;
    for (int trial = 0; trial < trials; ++trial) {
      sim.Release(date, code, "O", 0);
      test::RecordingView view({test::WishRow(code, date, *adult, Gbk(u8"成人票(1)"), Gbk(u8"二等座| ,"))});
      GrabController grab(client, view, test::ChinaDate(0), {5000ms, 200ms, 50ms});
      grab.StartGrabbing(view.Wishes());
      while (view.AttemptCount() < 2) std::this_thread::sleep_for(1ms);
      // Release at a random point of the worker's query cycle.
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 220));
      const double releasedAt = NowMs() + offset;
      sim.Release(date, code, "O", 1);
      const bool booked = view.WaitForLog("booked ", 10s);
      grab.StopAndJoinAll();
      if (!booked) {
        std::fprintf(stderr, "trial %d: no booking\n", trial);
        continue;
      }
      // The confirmation that followed the release, and the query whose
      // answer showed the ticket (the last one before that chain began).
      double lastQuery = -1;
      for (const auto& request : test::SimRequests(sim)) {
        if (request.path == service_paths::kLeftTicketQuery) lastQuery = request.t;
        if (request.path == service_paths::kConfirmSingleForQueue && request.t >= releasedAt - 1) {
          reactions.push_back(request.t - releasedAt);
          if (lastQuery >= 0) chains.push_back(request.t - lastQuery);
          break;
        }
      }
    }
    if (reactions.empty()) {
      std::printf("reuse %-3s: no measurement\n", reuse ? "on" : "off");
      continue;
    }
    const double median = Median(reactions);
    std::printf(
        "reuse %-3s: release -> confirmSingleForQueue received: median %.1f ms over %zu trials "
        "(min %.0f, max %.0f); ideal %.0f ms; ratio %.3f\n",
        reuse ? "on" : "off", median, reactions.size(), *std::min_element(reactions.begin(), reactions.end()),
        *std::max_element(reactions.begin(), reactions.end()), kIdealMs, median / kIdealMs);
    // Without the random part (where the release falls in the query cycle):
    // the query that showed the ticket, then five answered chain requests.
    if (!chains.empty()) {
      std::printf(
          "reuse %-3s: query seeing the ticket -> confirmSingleForQueue received: median %.1f ms; "
          "ideal %.0f ms; ratio %.3f\n",
          reuse ? "on" : "off", Median(chains), 6 * kLatencyMs, Median(chains) / (6 * kLatencyMs));
    }
  }
  return 0;
}
