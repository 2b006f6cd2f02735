// The sale moment: from the opening of a sale to the arrival of the
// worker's confirmSingleForQueue, read from the service's own request times.
//
// quillet-sim answers every request 20 ms late and opens the sale of a
// travel date a few seconds ahead. A wish with that moment as its start
// waits on the service's clock (estimated from Date headers) and sends its
// first query to arrive just after the opening: the ideal is that query's
// round trip and the five answered chain requests before the confirmation,
// 6 x 20 = 120 ms. Beside it, the same wish without a start moment, started
// a few seconds early with the normal pacing (a query every 200 ms plus its
// round trip). Last, the error of the clock estimate against sims whose
// clocks are shifted by known amounts.
//
// Usage: bench_sale_moment [trials per mode, default 20]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "grab/grab_controller.h"
#include "grab/sale_schedule.h"
#include "grab/sale_support.h"
#include "grab/sim_support.h"
#include "net/cookies.h"
#include "ui/order_form.h"
#include "util/codepage.h"

using namespace quillet;
using namespace std::chrono_literals;

namespace {

constexpr double kLatencyMs = 20;
constexpr double kIdealMs = 6 * kLatencyMs;
constexpr long long kOpensInMs = 2500;
const std::string kQuery = service_paths::kLeftTicketQuery;
const std::string kConfirm = service_paths::kConfirmSingleForQueue;

struct Stats {
  std::vector<double> values;
  double Median() const {
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  double Min() const { return *std::min_element(values.begin(), values.end()); }
  double Max() const { return *std::max_element(values.begin(), values.end()); }
};

struct Trial {
  double confirmAfterOpening = 0;
  double firstQueryAfterOpening = 0;
};

class Bench {
 public:
  explicit Bench(test::SimProcess& sim) : sim_(sim), client_(sim.BaseUrl(), jar_) {}

  bool SetUp() {
    std::vector<PassengerRecord> passengers;
    if (!test::SignIn(client_, sim_, 3) || (passengers = client_.LoadPassengers().passengers).empty()) return false;
    const auto adult = std::find_if(passengers.begin(), passengers.end(),
                                    [](const PassengerRecord& p) { return p.passenger_type == "1"; });
    if (adult == passengers.end()) return false;
    adult_ = *adult;
    const std::vector<TrainRecord> trains = client_.QueryLeftTickets(false, date_, "BJP", "SHH").trains;
    const auto train = std::find_if(trains.begin(), trains.end(), [](const TrainRecord& t) {
      return t.canWebBuy == "Y" && t.secondClassSeat != "--";
    });
    if (train == trains.end()) return false;
    train_ = train->stationTrainCode;
    return true;
  }

  // One sale opening kOpensInMs ahead; with a schedule the wish starts at
  // the opening, without one it starts now with the normal pacing.
  std::optional<Trial> Run(const std::shared_ptr<SharedServiceClock>& clock) {
    sim_.Release(date_, train_, "O", 0);
    const std::optional<std::int64_t> openingMs = test::SetSaleIn(sim_, date_, kOpensInMs);
    if (!openingMs) return std::nullopt;
    sim_.Release(date_, train_, "O", 1);
    const std::size_t queriesBefore = test::ArrivalsUnixMs(sim_, kQuery).size();
    const std::size_t confirmsBefore = test::ArrivalsUnixMs(sim_, kConfirm).size();

    OrderWish wish = WishFromTaskRow(test::WishRow(train_, date_, adult_, Gbk(u8"成人票(1)"), Gbk(u8"二等座| ,")));
    wish.choice = OrderWish::Choice::kParty;  // as plans make them
    test::RecordingView view;
    GrabController grab(client_, view, test::ChinaDate(0), {5000ms, 200ms, 50ms});
    if (clock) {
      wish.startAt = SystemTime(std::chrono::milliseconds(*openingMs));
      grab.SetWishScheduleFactory(MakeSaleScheduleFactory(clock));
    }
    grab.StartGrabbing({wish});
    const bool booked = view.WaitForLog("booked ", 15s);
    grab.StopAndJoinAll();
    if (!booked) return std::nullopt;

    const std::vector<std::int64_t> queries = test::ArrivalsUnixMs(sim_, kQuery);
    const std::vector<std::int64_t> confirms = test::ArrivalsUnixMs(sim_, kConfirm);
    if (queries.size() <= queriesBefore || confirms.size() <= confirmsBefore) return std::nullopt;
    // This sim's clock is not shifted: the log's times are the service's.
    return Trial{static_cast<double>(confirms[confirmsBefore] - *openingMs),
                 static_cast<double>(queries[queriesBefore] - *openingMs)};
  }

 private:
  test::SimProcess& sim_;
  CookieJar jar_;
  BookingClient client_;
  PassengerRecord adult_;
  std::string train_;
  const std::string date_ = test::ChinaDate(3);
};

void Print(const char* mode, const Stats& confirm, const Stats& firstQuery) {
  std::printf(
      "%s: opening -> confirmSingleForQueue received: median %.1f ms over %zu trials (min %.0f, max %.0f); "
      "ideal %.0f ms; ratio %.3f\n",
      mode, confirm.Median(), confirm.values.size(), confirm.Min(), confirm.Max(), kIdealMs,
      confirm.Median() / kIdealMs);
  std::printf("%s: first query received after the opening: median %.1f ms (earliest %+.0f, latest %+.0f)\n", mode,
              firstQuery.Median(), firstQuery.Min(), firstQuery.Max());
}

// The estimate's error against a sim whose clock runs `shiftMs` ahead.
void MeasureClockError(long long shiftMs) {
  test::SimProcess sim({"--latency-ms", "20", "--clock-shift-ms", std::to_string(shiftMs)});
  if (!sim.Running()) return;
  SharedServiceClock clock(HttpClockEstimator({sim.BaseUrl(), {}, {}}), nullptr);
  const auto reading = clock.Reading({});
  if (!reading || !reading->fromService) {
    std::printf("clock shift %+6lld ms: no estimate\n", shiftMs);
    return;
  }
  const double offsetMs = std::chrono::duration<double, std::milli>(reading->estimate.OffsetFromSystemClock()).count();
  std::printf(
      "clock shift %+6lld ms: estimated %+9.2f ms, error %+6.2f ms, stated uncertainty +/- %.2f ms, "
      "%d probes\n",
      shiftMs, offsetMs, offsetMs - static_cast<double>(shiftMs),
      std::chrono::duration<double, std::milli>(reading->estimate.uncertainty).count(), reading->estimate.probes);
}

}  // namespace

int main(int argc, char** argv) {
  const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  test::SimProcess sim({"--latency-ms", "20", "--max-unpaid", "100000", "--release-every", "3600", "--seed", "3"});
  if (!sim.Running()) {
    std::fprintf(stderr, "quillet-sim did not start\n");
    return 1;
  }
  Bench bench(sim);
  if (!bench.SetUp()) {
    std::fprintf(stderr, "cannot sign in or find a train\n");
    return 1;
  }
  auto clock = std::make_shared<SharedServiceClock>(
      HttpClockEstimator({sim.BaseUrl(), {}, {}}),
      [](const ServiceClockNote& note) { std::fprintf(stderr, "%s\n", ServiceClockNoteText(note).c_str()); });

  for (const bool scheduled : {true, false}) {
    Stats confirm, firstQuery;
    for (int trial = 0; trial < trials; ++trial) {
      // A trial takes a few seconds; an estimate that is not fresh would be
      // taken again inside the wait and miss an opening this close.
      if (scheduled && !clock->ReadingSince(std::chrono::steady_clock::now() - 20s, {})) return 1;
      const std::optional<Trial> result = bench.Run(scheduled ? clock : nullptr);
      if (!result) {
        std::fprintf(stderr, "trial %d: no booking\n", trial);
        continue;
      }
      confirm.values.push_back(result->confirmAfterOpening);
      firstQuery.values.push_back(result->firstQueryAfterOpening);
    }
    if (confirm.values.empty()) {
      std::printf("%s: no measurement\n", scheduled ? "start_at" : "no start_at");
      continue;
    }
    if (scheduled) {
      Print("start_at", confirm, firstQuery);
    } else {
      std::printf(
          "no start_at (started %lld ms early, 200 ms pacing): opening -> confirmSingleForQueue received: "
          "median %.1f ms over %zu trials (min %.0f, max %.0f)\n",
          kOpensInMs, confirm.Median(), confirm.values.size(), confirm.Min(), confirm.Max());
    }
  }
  for (const long long shift : {-1500LL, -250LL, 0LL, 800LL, 3217LL}) MeasureClockError(shift);
  return 0;
}
