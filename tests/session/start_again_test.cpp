// When the session says grabbing may be started again: after a hard-seat
// booking, and after every stop.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "booking/service_paths.h"
#include "fake_service.h"
#include "gbk.h"
#include "session/session.h"
#include "ui/order_form.h"
#include "wait_until.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::G;

class StartAgainWatch : public SessionObserver {
 public:
  void OnOrderBooked(const OrderReport&) override { Add("booked"); }
  void OnGrabStopped(const GrabStop&) override { Add("stopped"); }
  void OnGrabMayStartAgain() override { Add("may start again"); }

  std::vector<std::string> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  void Add(const std::string& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
  }
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

TEST(StartAgain, AfterAHardSeatBookingAndAfterEveryStop) {
  const struct {
    std::u8string_view seatOrder;
    std::vector<std::string> events;  // up to and including the stop's
  } cases[] = {
      {u8"硬座| ,", {"booked", "may start again", "stopped", "may start again"}},
      {u8"二等座| ,", {"booked", "stopped", "may start again"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8FromGbk(G(c.seatOrder)));
    test::FakeService service;
    service.SetText(service_paths::kLeftTicketQuery,
                    test::FakeQueryAnswer({test::FakeTrainText("K1", "BJP", "SHH", {{"1", "5"}, {"O", "5"}})}));
    SessionSettings settings;
    settings.service.address = service.BaseUrl();
    settings.referenceDate = "2026-12-10";
    settings.pacing = {100ms, 50ms, 20ms};
    Session session(settings);
    StartAgainWatch watch;
    session.AddObserver(watch);
    session.AddWish(WishFromTaskRow({"K1", G(u8"北京|BJP"), G(u8"上海|SHH"), "2026-12-14", G(u8"张三(成人[1])"),
                                     G(u8"成人票(1)"), G(u8"二代身份证[1](110101199001011234)"), G(c.seatOrder)}));
    session.StartGrabbing();
    ASSERT_TRUE(test::WaitUntil([&] { return !watch.Events().empty(); }, 5s));
    ASSERT_TRUE(test::WaitUntil([&] { return session.RunningWorkerCount() == 0; }, 5s));
    session.StopGrabbing();
    session.Close();
    EXPECT_EQ(watch.Events(), c.events);
    session.RemoveObserver(watch);
  }
}

}  // namespace
}  // namespace quillet
