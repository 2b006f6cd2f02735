// A wish with a start moment against quillet-sim whose clock runs 800 ms
// ahead of this machine's: no query before the sale opens, the first one
// arriving just after it, and the ticket booked.
#include <gtest/gtest.h>

#include <algorithm>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "gbk.h"
#include "grab/grab_controller.h"
#include "grab/sale_schedule.h"
#include "net/cookies.h"
#include "recording_view.h"
#include "sale_support.h"
#include "sim_support.h"
#include "ui/order_form.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::G;

constexpr long long kShiftMs = 800;
const std::string kQuery = service_paths::kLeftTicketQuery;

TEST(SaleSimTest, TheFirstQueryArrivesJustAfterTheOpeningOnTheServiceClock) {
  test::SimProcess sim(
      {"--clock-shift-ms", std::to_string(kShiftMs), "--max-unpaid", "100", "--release-every", "3600"});
  ASSERT_TRUE(sim.Running());
  CookieJar jar;
  BookingClient client(sim.BaseUrl(), jar);
  ASSERT_TRUE(test::SignIn(client, sim, 3));
  const std::vector<PassengerRecord> passengers = client.LoadPassengers().passengers;
  const auto adult = std::find_if(passengers.begin(), passengers.end(),
                                  [](const PassengerRecord& p) { return p.passenger_type == "1"; });
  ASSERT_NE(adult, passengers.end());
  const std::string date = test::ChinaDate(3);
  const std::vector<TrainRecord> trains = client.QueryLeftTickets(false, date, "BJP", "SHH").trains;
  const auto train = std::find_if(trains.begin(), trains.end(),
                                  [](const TrainRecord& t) { return t.canWebBuy == "Y" && t.secondClassSeat != "--"; });
  ASSERT_NE(train, trains.end());

  std::vector<std::string> reports;
  auto clock = std::make_shared<SharedServiceClock>(
      HttpClockEstimator({sim.BaseUrl(), {}, {}}),
      [&](const ServiceClockNote& note) { reports.push_back(ServiceClockNoteText(note)); });
  // The estimate takes a few seconds; taken first, the sale can open soon.
  const auto reading = clock->Reading({});
  ASSERT_TRUE(reading && reading->fromService);
  ASSERT_EQ(reports.size(), 1u);
  const double reportedMs = std::stod(reports[0].substr(reports[0].find('+')));
  EXPECT_NEAR(reportedMs, kShiftMs, 50) << reports[0];
  EXPECT_NE(reports[0].find(" ms +/- "), std::string::npos) << reports[0];

  const std::optional<std::int64_t> openingMs = test::SetSaleIn(sim, date, 1500);
  ASSERT_TRUE(openingMs);
  sim.Release(date, train->stationTrainCode, "O", 3);
  const std::size_t queriesBefore = test::ArrivalsUnixMs(sim, kQuery).size();

  OrderWish wish =
      WishFromTaskRow(test::WishRow(train->stationTrainCode, date, *adult, G(u8"成人票(1)"), G(u8"二等座| ,")));
  wish.choice = OrderWish::Choice::kParty;  // as plans make them
  wish.startAt = SystemTime(std::chrono::milliseconds(*openingMs));
  test::RecordingView view;
  GrabController grab(client, view, test::ChinaDate(0));
  grab.SetWishScheduleFactory(MakeSaleScheduleFactory(clock));
  grab.StartGrabbing({wish});
  ASSERT_TRUE(view.WaitForLog("booked ", 20s)) << Utf8FromGbk(view.Log());
  grab.StopAndJoinAll();

  const std::vector<std::int64_t> queries = test::ArrivalsUnixMs(sim, kQuery);
  ASSERT_GT(queries.size(), queriesBefore);
  // The log keeps the machine's time; the sale is judged on the service's.
  const std::int64_t firstAfterOpening = queries[queriesBefore] + kShiftMs - *openingMs;
  EXPECT_GE(firstAfterOpening, -20) << "the first query came early";
  EXPECT_LE(firstAfterOpening, 500) << "the first query came late";
  EXPECT_EQ(reports.size(), 1u) << "an estimate seconds old is not taken again";
}

}  // namespace
}  // namespace quillet
