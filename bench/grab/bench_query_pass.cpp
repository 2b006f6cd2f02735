// The cost of a query pass: N grab workers on sold-out wishes (each pass is
// one left-ticket query, the answer read, the wanted train looked at, and
// the idle pause) against quillet-sim, which answers every request 20 ms
// late. Prints the CPU time of this process per pass (user + system, from
// getrusage; quillet-sim is a separate process and is not counted) and the
// process's peak resident set size.
//
// Usage: bench_query_pass [workers=50] [seconds=20] [latency-ms=20]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "grab/grab_controller.h"
#include "query_pass_setup.h"
#include "ui/order_form.h"
#include "util/codepage.h"

using namespace quillet;
using namespace std::chrono_literals;

namespace {

// Counts the passes (one attempt event per pass) and anything logged.
class CountingEvents : public GrabEvents {
 public:
  void OnGrabAttempt(const GrabAttempt&) override { passes_.fetch_add(1, std::memory_order_relaxed); }
  // An order that ended a worker: the window would log a line for it.
  void OnOrderBooked(const OrderReport&) override { logLines_.fetch_add(1, std::memory_order_relaxed); }
  void OnOrderNeedsManualCheck(const OrderReport&) override { logLines_.fetch_add(1, std::memory_order_relaxed); }

  long Passes() const { return passes_.load(); }
  long LogLines() const { return logLines_.load(); }

 private:
  std::atomic<long> passes_{0};
  std::atomic<long> logLines_{0};
};

}  // namespace

int main(int argc, char** argv) {
  const int workers = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  const std::string latency = argc > 3 ? std::to_string(std::max(0, std::atoi(argv[3]))) : "20";

  bench::QueryPassSetup setup(latency);
  if (!setup.Prepare()) return 1;
  const std::string& date = setup.date;
  const std::string& code = setup.trainCode;

  const OrderWish wish =
      WishFromTaskRow(test::WishRow(code, date, setup.passengers.front(), Gbk(u8"成人票(1)"), Gbk(u8"二等座| ,")));
  CountingEvents view;
  GrabController grab(setup.client, view, test::ChinaDate(0));  // the program's pacing
  grab.StartGrabbing(std::vector<OrderWish>(static_cast<std::size_t>(workers), wish));
  std::this_thread::sleep_for(2s);  // every worker started and connected

  const long logLinesBefore = view.LogLines();
  const bench::PassWindow window = bench::MeasurePasses(seconds, [&view] { return view.Passes(); });
  const long logLines = view.LogLines() - logLinesBefore;  // a booking would show here
  grab.StopAndJoinAll();
  const bench::CpuSample end = bench::SampleProcess();

  std::printf("workers %d, latency %s ms, %s; peak RSS %.1f MB; log lines %ld\n", workers, latency.c_str(),
              window.Figures().c_str(), end.peakRssKib / 1024.0, logLines);
  return window.passes > 0 && logLines == 0 ? 0 : 1;
}
