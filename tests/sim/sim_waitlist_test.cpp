// Waitlist orders against a running quillet-sim: returned tickets fill them
// before anyone can grab, all the party or none, in the order they were
// placed; they end at their deadline; one per account; a passenger already
// travelling or waiting on an overlapping journey is refused.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "booking/service_paths.h"
#include "sim_fixture.h"
#include "support/sim_json.h"

namespace quillet::test {
namespace {

bool Has(const std::string& text, const std::string& marker) { return text.find(marker) != std::string::npos; }

Json StateOf(const SimProcess& sim) {
  Json state;
  EXPECT_TRUE(JsonReader::Parse(sim.State(), state));
  return state;
}

// One signed-in account that places waitlist orders.
struct Waiter {
  Waiter(const SimProcess& sim, const std::string& account, const std::string& password) : client(sim) {
    signedIn = client.SignIn(account, password);
    OrderValues page;
    client.InitDc(page);
    passengers = client.Post(service_paths::kPassengers, "_json_att=&REPEAT_SUBMIT_TOKEN=" + page.token).body;
  }
  // "name#idType#idNo#ticketType;" for adults of the account.
  std::string Party(const std::vector<std::string>& names) const {
    std::string text;
    for (const std::string& name : names) text += name + "#1#" + PassengerIdNo(passengers, name) + "#1;";
    return text;
  }
  // The whole chain; the refusal text of the first step that refuses, or the
  // reserve number.
  std::string Place(const std::string& secretList, const std::vector<std::string>& names, const std::string& deadline) {
    const std::string list = "secretList=" + secretList;
    for (const char* path : {service_paths::kWaitlistCheck, service_paths::kWaitlistSubmit}) {
      const SimAnswer answer = client.Post(path, list);
      if (!Has(answer.body, "\"status\":true")) return "refused:" + Between(answer.body, "messages\":[\"", "\"");
    }
    const SimAnswer confirm = client.Post(service_paths::kWaitlistConfirm,
                                          "passengers=" + UrlEncode(Party(names)) + "&jzParam=" + UrlEncode(deadline));
    if (!Has(confirm.body, "\"status\":true")) return "refused:" + Between(confirm.body, "messages\":[\"", "\"");
    for (int poll = 0; poll < 5; ++poll) {
      const std::string id = Between(client.Post(service_paths::kWaitlistQueue, "").body, "reserve_no\":\"", "\"");
      if (!id.empty()) return id;
    }
    return "no reserve number";
  }
  SimConversation client;
  bool signedIn = false;
  std::string passengers;
};

class SimWaitlistTest : public ::testing::Test {
 protected:
  explicit SimWaitlistTest(std::vector<std::string> extra = {})
      : sim_(Args(std::move(extra))), demo_(sim_, "demo", "demo1234") {}
  static std::vector<std::string> Args(std::vector<std::string> extra) {
    std::vector<std::string> args = {"--seed", "7",         "--release-every", "0",         "--max-unpaid",
                                     "5",      "--account", "ann:pw1",         "--account", "face:pw2:face"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    ASSERT_TRUE(demo_.signedIn);
    date_ = ChinaDatePlusDays(5);
    deadline_ = ChinaDatePlusDays(4) + " 12:00";
    const auto trains = demo_.client.Query(date_, kFrom, kTo);
    for (const auto& train : trains) {
      if (train.size() < 38 || train[11] != "Y" || train[30] == "--") continue;
      (first_.empty() ? first_ : second_) = train;
      if (!second_.empty()) break;
    }
    ASSERT_FALSE(second_.empty());
    sim_.Release(date_, first_[3], "O", 0);
    sim_.Release(date_, second_[3], "O", 0);
  }
  // The secretStr stands in the answer encoded as a form value already.
  std::string Choice(const std::vector<std::string>& train) const { return train[0] + "%23O%7C"; }

  SimProcess sim_;
  Waiter demo_;
  std::string date_, deadline_;
  std::vector<std::string> first_, second_;
};

TEST_F(SimWaitlistTest, TheQueryMarksSoldOutTrainsAndTheChanceFollowsTheQueue) {
  const auto trains = demo_.client.Query(date_, kFrom, kTo);
  const auto* train = FindTrain(trains, first_[3]);
  ASSERT_NE(train, nullptr);
  EXPECT_EQ(train->at(37), "1");
  const SimAnswer rate = demo_.client.Post(service_paths::kWaitlistChances, "successSecret=" + Choice(first_));
  EXPECT_TRUE(Has(rate.body, "\"level\":\"3\"")) << rate.body;
  ASSERT_EQ(demo_.Place(Choice(first_), {"张伟"}, deadline_).rfind("H", 0), 0u);
  Waiter ann(sim_, "ann", "pw1");
  const SimAnswer later = ann.client.Post(service_paths::kWaitlistChances, "successSecret=" + Choice(first_));
  EXPECT_TRUE(Has(later.body, "\"level\":\"2\"")) << later.body;
}

TEST_F(SimWaitlistTest, ReturnedTicketsFillTheWaitlistBeforeAnyGrab) {
  const std::string reserveNo = demo_.Place(Choice(first_) + Choice(second_), {"张伟", "李娜"}, deadline_);
  ASSERT_EQ(reserveNo.rfind("H", 0), 0u) << reserveNo;
  Json state = StateOf(sim_);
  ASSERT_EQ(state["waitlist"].items.size(), 1u);
  EXPECT_EQ(state["waitlist"].items[0]["status"].text, "waiting");
  EXPECT_EQ(state["waitlist"].items[0]["choices"].items.size(), 2u);
  EXPECT_EQ(state["waitlist"].items[0]["party"].items.size(), 2u);

  sim_.Release(date_, second_[3], "O", 2);
  state = StateOf(sim_);
  const Json& filled = state["waitlist"].items[0];
  EXPECT_EQ(filled["status"].text, "filled");
  ASSERT_EQ(filled["orderId"].kind, Json::Kind::String);
  // The party's two tickets on one unpaid order; nothing left to grab.
  ASSERT_EQ(state["bookings"].items.size(), 2u);
  for (const Json& ticket : state["bookings"].items) {
    EXPECT_EQ(ticket["orderId"].text, filled["orderId"].text);
    EXPECT_EQ(ticket["status"].text, "unpaid");
    EXPECT_EQ(ticket["train_code"].text, second_[3]);
  }
  const auto trains = demo_.client.Query(date_, kFrom, kTo);
  EXPECT_EQ(FindTrain(trains, second_[3])->at(30), "无");
  const SimAnswer process = demo_.client.Post(service_paths::kWaitlistState, "reserve_no=" + reserveNo);
  EXPECT_TRUE(Has(process.body, "\"status\":\"2\"")) << process.body;
  EXPECT_TRUE(Has(process.body, "\"sequence_no\":\"" + filled["orderId"].text + "\"")) << process.body;
  // A filled order cannot be cancelled.
  const SimAnswer cancel = demo_.client.Post(service_paths::kWaitlistCancel, "reserve_no=" + reserveNo);
  EXPECT_TRUE(Has(cancel.body, "\"status\":false")) << cancel.body;
}

TEST_F(SimWaitlistTest, APartyIsFilledWhollyOrNotAtAll) {
  ASSERT_EQ(demo_.Place(Choice(first_), {"张伟", "李娜"}, deadline_).rfind("H", 0), 0u);
  sim_.Release(date_, first_[3], "O", 1);
  EXPECT_EQ(StateOf(sim_)["waitlist"].items[0]["status"].text, "waiting");
  EXPECT_TRUE(Has(sim_.Get("/sim/stock?date=" + date_ + "&train=" + first_[3] + "&seat=O"), "\"count\":1"));
  sim_.Release(date_, first_[3], "O", 2);
  EXPECT_EQ(StateOf(sim_)["waitlist"].items[0]["status"].text, "filled");
}

TEST_F(SimWaitlistTest, OrdersAreFilledInTheOrderTheyWerePlaced) {
  Waiter ann(sim_, "ann", "pw1");
  ASSERT_TRUE(ann.signedIn);
  ASSERT_EQ(ann.Place(Choice(first_), {"李娜"}, deadline_).rfind("H", 0), 0u);
  ASSERT_EQ(demo_.Place(Choice(first_), {"张伟"}, deadline_).rfind("H", 0), 0u);
  sim_.Release(date_, first_[3], "O", 1);
  Json state = StateOf(sim_);
  EXPECT_EQ(state["waitlist"].items[0]["account"].text, "ann");
  EXPECT_EQ(state["waitlist"].items[0]["status"].text, "filled");
  EXPECT_EQ(state["waitlist"].items[1]["status"].text, "waiting");
  sim_.Release(date_, first_[3], "O", 1);
  EXPECT_EQ(StateOf(sim_)["waitlist"].items[1]["status"].text, "filled");
}

TEST_F(SimWaitlistTest, RefusalsOfTheChain) {
  // One open waitlist order per account.
  ASSERT_EQ(demo_.Place(Choice(first_), {"张伟"}, deadline_).rfind("H", 0), 0u);
  EXPECT_EQ(demo_.Place(Choice(second_), {"李娜"}, deadline_),
            "refused:您已有待兑现的候补订单，请兑现或取消后再提交新的候补订单");
  // A passenger waiting on an overlapping journey (the same train) is refused.
  Waiter ann(sim_, "ann", "pw1");
  EXPECT_EQ(ann.Place(Choice(first_), {"张伟"}, deadline_), "refused:乘车人已购买或候补了行程冲突的车票，不能再次候补");
  // Too late a deadline, too many choices, a class with tickets left.
  EXPECT_EQ(ann.Place(Choice(first_), {"李娜"}, date_ + " 23:59"), "refused:截止兑现时间有误，请重新选择！");
  std::string seven;
  for (int i = 0; i < 7; ++i) seven += Choice(first_);
  EXPECT_EQ(ann.Place(seven, {"李娜"}, deadline_), "refused:候补车次席别有误，请重新选择！");
  sim_.Release(date_, second_[3], "O", 3);
  EXPECT_EQ(ann.Place(Choice(second_), {"李娜"}, deadline_), "refused:所选车次席别暂不能候补，请重新选择！");
  // An account that owes a face check.
  Waiter face(sim_, "face", "pw2");
  ASSERT_TRUE(face.signedIn);
  EXPECT_EQ(face.Place(Choice(first_), {"李娜"}, deadline_),
            "refused:您的身份信息需要完成人脸核验，请在铁路12306手机客户端核验后再办理候补购票");
  // A cancelled order frees the account for another.
  const std::string reserveNo = StateOf(sim_)["waitlist"].items[0]["reserveNo"].text;
  const SimAnswer cancel = demo_.client.Post(service_paths::kWaitlistCancel, "reserve_no=" + reserveNo);
  EXPECT_TRUE(Has(cancel.body, "\"status\":true")) << cancel.body;
  EXPECT_EQ(StateOf(sim_)["waitlist"].items[0]["status"].text, "cancelled");
  EXPECT_EQ(demo_.Place(Choice(first_), {"李娜"}, deadline_).rfind("H", 0), 0u);
}

// The service's clock stands a few seconds before a full minute, so that a
// deadline at that minute passes soon.
std::int64_t ShiftToJustBeforeAMinute() {
  const auto now =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  return 55000 - now % 60000;
}

class SimWaitlistClockTest : public SimWaitlistTest {
 protected:
  SimWaitlistClockTest() : SimWaitlistTest({"--clock-shift-ms", std::to_string(shift_ = ShiftToJustBeforeAMinute())}) {}
  static inline std::int64_t shift_ = 0;
};

TEST_F(SimWaitlistClockTest, AnUnfilledOrderEndsAtItsDeadline) {
  // The minute after the service's clock, in China time.
  const auto serviceNow = std::chrono::system_clock::now() + std::chrono::milliseconds(shift_);
  const std::time_t next = std::chrono::system_clock::to_time_t(serviceNow + std::chrono::seconds(8 * 3600 + 20));
  std::tm tm{};
  gmtime_r(&next, &tm);
  char deadline[32];
  std::strftime(deadline, sizeof deadline, "%Y-%m-%d %H:%M", &tm);
  ASSERT_EQ(demo_.Place(Choice(first_), {"张伟"}, deadline).rfind("H", 0), 0u) << deadline;
  std::string status;
  for (int i = 0; i < 100 && status != "expired"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    status = StateOf(sim_)["waitlist"].items[0]["status"].text;
  }
  EXPECT_EQ(status, "expired");
  // Tickets coming back later go to grabs, not to the ended order.
  sim_.Release(date_, first_[3], "O", 1);
  EXPECT_EQ(StateOf(sim_)["waitlist"].items[0]["status"].text, "expired");
}

}  // namespace
}  // namespace quillet::test
