// Fleet members in one process, each with its own session bound to its own
// loopback address, against one quillet-sim and one redis-server: what one
// member sees, the account's holder orders; nothing is ordered twice; a
// holder that is gone is replaced by a member that books with the stored
// sign-in; every member ends once every wish has.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "booking/service_paths.h"
#include "fleet/fleet_member.h"
#include "fleet_fixture.h"
#include "session/session.h"
#include "support/sim_harness.h"
#include "support/sim_json.h"
#include "support/sim_steps.h"
#include "util/codepage.h"

namespace quillet::fleet {
namespace {

using namespace std::chrono_literals;
namespace sim = quillet::test;

struct RequestSeen {
  std::string address, path, query;
  std::int64_t unixMs = 0;
};

std::vector<RequestSeen> RequestsOf(const sim::SimProcess& sim) {
  std::vector<RequestSeen> seen;
  sim::Json log;
  if (!sim::JsonReader::Parse(sim.Requests(), log)) return seen;
  for (const sim::Json& entry : log.items) {
    seen.push_back({entry["address"].text, entry["path"].text, entry["query"].text,
                    static_cast<std::int64_t>(entry["unix_ms"].number)});
  }
  return seen;
}

struct Booked {
  std::string passenger, date;
};

std::vector<Booked> BookingsOf(const sim::SimProcess& sim) {
  std::vector<Booked> bookings;
  sim::Json state;
  if (!sim::JsonReader::Parse(sim.State(), state)) return bookings;
  for (const sim::Json& item : state["bookings"].items) {
    bookings.push_back({item["passenger_name"].text, item["train_date"].text});
  }
  return bookings;
}

bool SignIn(Session& session, const sim::SimProcess& sim) {
  for (int tries = 0; tries < 3; ++tries) {
    if (session.FetchCaptcha().picture.empty()) continue;
    const std::string id = sim::CookieValue(session.Client().Cookies().Text(), "JSESSIONID");
    if (session.SignIn("demo", "demo1234", sim::CaptchaAnswer(sim.CaptchaCells(id))).Done()) return true;
  }
  return false;
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

class FleetMemberSimTest : public test::FleetTest {
 protected:
  void SetUp() override {
    test::FleetTest::SetUp();
    ASSERT_TRUE(sim_.Running());
    // Who signs in and what the account's passengers and trains are.
    Session scout(Settings());
    ASSERT_TRUE(SignIn(scout, sim_));
    ASSERT_TRUE(scout.LoadPassengers().Done());
    for (const PassengerRecord& p : scout.Passengers()) {
      if (p.passenger_type == "1") adults_.push_back(p);
    }
    ASSERT_GE(adults_.size(), 2u);
    for (int day = 3; day < 6; ++day) dates_.push_back(sim::ChinaDate(day));
    const TrainsResult trains = scout.QueryTrains(false, dates_[0], "BJP", "SHH");
    ASSERT_TRUE(trains.Done());
    const auto train = std::find_if(trains.trains.begin(), trains.trains.end(), [](const TrainRecord& t) {
      return t.canWebBuy == "Y" && t.secondClassSeat != "--";
    });
    ASSERT_NE(train, trains.trains.end());
    train_ = train->stationTrainCode;
    for (const std::string& date : dates_) sim_.Release(date, Utf8FromGbk(train_), "O", 0);
    scout.Close();
  }

  SessionSettings Settings() const {
    SessionSettings settings;
    settings.service.address = sim_.BaseUrl();
    settings.account = "demo";
    settings.pacing.afterIdlePass = 100ms;
    settings.pacing.afterFailedQuery = 300ms;
    return settings;
  }

  // A member's session with its own address and the test's wishes.
  std::unique_ptr<Session> MemberSession(const std::string& address, std::size_t wishes) {
    auto session = std::make_unique<Session>(Settings());
    session->Client().SetSourceAddress(address);
    for (std::size_t w = 0; w < wishes; ++w) session->AddWish(WishFor(adults_[w]));
    return session;
  }

  OrderWish WishFor(const PassengerRecord& p) const {
    OrderWish wish;
    wish.choice = OrderWish::Choice::kParty;
    wish.trains = {train_};
    wish.dates = dates_;
    wish.from = {GbkFromUtf8("北京"), "BJP"};
    wish.to = {GbkFromUtf8("上海"), "SHH"};
    wish.passengers.push_back({p.passenger_name, p.passenger_type, p.passenger_id_type_code, p.passenger_id_no});
    wish.ticketType = "1";
    wish.seatTypes = {"O"};
    return wish;
  }

  std::shared_ptr<FleetStore> SharedStore() {
    return std::make_shared<FleetStore>(test::AddressOf(redis_), "spring", RedisTimeouts{}, test::QuickTimings());
  }

  static FleetMemberSettings MemberSettings(const std::string& id, const std::string& address, std::size_t index,
                                            std::size_t count) {
    FleetMemberSettings settings;
    settings.member = id;
    settings.address = address;
    settings.account = "demo";
    settings.shareIndex = index;
    settings.shareCount = count;
    return settings;
  }

  sim::SimProcess sim_{{"--max-unpaid", "100", "--release-every", "0"}};
  std::vector<PassengerRecord> adults_;
  std::vector<std::string> dates_;
  std::string train_;
};

bool IsQueryOn(const RequestSeen& request, const std::string& date) {
  return request.path == service_paths::kLeftTicketQuery && request.query.find(date) != std::string::npos;
}

TEST_F(FleetMemberSimTest, WhatOtherMembersSeeTheHolderOrdersOnceAndEveryMemberEnds) {
  // Three members, each querying every third (date, pair) of each wish:
  // wish 1's second date is the second member's, wish 2's the third's.
  const std::vector<std::string> addresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
  std::vector<std::unique_ptr<Session>> sessions;
  std::vector<std::unique_ptr<FleetMember>> members;
  for (std::size_t m = 0; m < addresses.size(); ++m) {
    sessions.push_back(MemberSession(addresses[m], 2));
    members.push_back(std::make_unique<FleetMember>(*sessions[m], SharedStore(),
                                                    MemberSettings("member-" + std::to_string(m), addresses[m], m, 3)));
  }
  // The first member signs in and holds the account before the others join.
  ASSERT_TRUE(SignIn(*sessions[0], sim_));
  members[0]->Start();
  ASSERT_TRUE(WaitUntil([&] { return members[0]->HoldsAccount(); }, 5s));
  members[1]->Start();
  members[2]->Start();
  std::this_thread::sleep_for(500ms);  // a few passes of everyone's share

  sim_.Release(dates_[1], Utf8FromGbk(train_), "O", 5);
  for (const auto& member : members) EXPECT_TRUE(member->WaitUntilAllDone(20s));
  EXPECT_FALSE(members[1]->HoldsAccount());
  EXPECT_FALSE(members[2]->HoldsAccount());
  for (const auto& session : sessions) session->Close();

  const std::vector<Booked> bookings = BookingsOf(sim_);
  ASSERT_EQ(bookings.size(), 2u) << sim_.State();
  for (const Booked& booked : bookings) EXPECT_EQ(booked.date, dates_[1]);
  EXPECT_NE(bookings[0].passenger, bookings[1].passenger);

  const std::vector<RequestSeen> requests = RequestsOf(sim_);
  std::size_t ordersByHolder = 0;
  for (const RequestSeen& request : requests) {
    if (request.path == service_paths::kSubmitOrderRequest) {
      EXPECT_EQ(request.address, "127.0.0.2") << "only the holder orders";
      ++ordersByHolder;
    }
    if (IsQueryOn(request, dates_[1]) && request.address == "127.0.0.2") {
      ADD_FAILURE() << "the holder queried a date that is not in its share";
    }
  }
  // One order request per wish at least (a refused one is tried again).
  EXPECT_GE(ordersByHolder, 2u);
  for (std::size_t m = 1; m < members.size(); ++m) {
    EXPECT_FALSE(sessions[m]->SignedIn()) << "a member that never held the account never signed in";
  }

  // Every store tells the same: both wishes booked by the holder.
  const StatusResult status = SharedStore()->ReadStatus();
  ASSERT_EQ(status.failure, RedisFailure::kNone);
  ASSERT_EQ(status.status.wishes.size(), 2u);
  for (const WishStatus& wish : status.status.wishes) {
    ASSERT_TRUE(wish.outcome) << wish.wish;
    EXPECT_EQ(wish.outcome->kind, WishOutcomeKind::kBooked);
    EXPECT_EQ(wish.outcome->member, "member-0");
    EXPECT_GE(wish.attempts, 1);
    EXPECT_TRUE(wish.lockHolder.empty() || wish.lockHolder == "member-0") << wish.lockHolder;
  }
}

TEST_F(FleetMemberSimTest, AMemberTakesOverFromAHolderThatIsGoneAndBooksWithTheStoredSignIn) {
  auto holderSession = MemberSession("127.0.0.2", 1);
  auto holder = std::make_unique<FleetMember>(*holderSession, SharedStore(), MemberSettings("a", "127.0.0.2", 0, 0));
  auto otherSession = MemberSession("127.0.0.3", 1);
  std::atomic<bool> askedForSignIn{false};
  FleetMemberReport report;
  report.needsSignIn = [&] { askedForSignIn = true; };
  FleetMember other(*otherSession, SharedStore(), MemberSettings("b", "127.0.0.3", 0, 0), report);
  ASSERT_TRUE(SignIn(*holderSession, sim_));
  holder->Start();
  ASSERT_TRUE(WaitUntil([&] { return holder->HoldsAccount(); }, 5s));
  other.Start();
  std::this_thread::sleep_for(500ms);
  ASSERT_FALSE(other.HoldsAccount());

  holderSession->Close();
  holder.reset();
  const auto gone = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitUntil([&] { return other.HoldsAccount(); }, 15s));
  EXPECT_LT(std::chrono::steady_clock::now() - gone, 15s);
  EXPECT_TRUE(otherSession->SignedIn()) << "the stored sign-in was taken over";
  EXPECT_FALSE(askedForSignIn);

  // Any date: the one member left queries the whole wish.
  sim_.Release(dates_[0], Utf8FromGbk(train_), "O", 1);
  EXPECT_TRUE(other.WaitUntilAllDone(20s));
  otherSession->Close();

  const std::vector<Booked> bookings = BookingsOf(sim_);
  ASSERT_EQ(bookings.size(), 1u) << sim_.State();
  EXPECT_EQ(bookings[0].date, dates_[0]);
  for (const RequestSeen& request : RequestsOf(sim_)) {
    if (request.address != "127.0.0.3") continue;
    EXPECT_NE(request.path, service_paths::kLogin) << "the member signed in again";
    EXPECT_NE(request.path, service_paths::kCaptchaCheck) << "the member signed in again";
  }
}

}  // namespace
}  // namespace quillet::fleet
