// The decisions behind pacing against the service: its hours, throttling
// signs and back-off, the shared budget, and the keep-alive of an idle sign-in.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "booking/answers.h"
#include "grab/keep_alive.h"
#include "grab/query_budget.h"
#include "grab/query_pacer.h"
#include "grab/service_hours.h"
#include "grab/throttle.h"
#include "util/codepage.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

// 2026-12-10 00:00 China Standard Time.
const SystemTime kChinaMidnight = SystemTime(std::chrono::milliseconds(1765296000000LL));

SystemTime At(int day, int hour, int minute) {
  return kChinaMidnight + std::chrono::hours(24 * day + hour) + std::chrono::minutes(minute);
}

TEST(ServiceHours, ParseAndTheDefault) {
  EXPECT_EQ(ServiceHoursText(ServiceHours{}), "05:00-01:00");
  struct Case {
    const char* text;
    const char* read;  // nullptr: refused
  };
  const Case cases[] = {{"06:00-23:30", "06:00-23:30"},
                        {"05:00-01:00", "05:00-01:00"},
                        {"00:00-00:00", "00:00-00:00"},
                        {"6:00-23:30", nullptr},
                        {"06:00-24:00", nullptr},
                        {"06:00~23:30", nullptr},
                        {"", nullptr},
                        {"06:00-23:3a", nullptr}};
  for (const Case& c : cases) {
    const auto hours = ParseServiceHours(c.text);
    ASSERT_EQ(hours.has_value(), c.read != nullptr) << c.text;
    if (hours) {
      EXPECT_EQ(ServiceHoursText(*hours), c.read);
    }
  }
}

TEST(ServiceHours, OpenAndTheNextOpeningWithinADayAndPastMidnight) {
  const ServiceHours night{};  // 05:00 to 01:00 the next day
  const ServiceHours day = *ParseServiceHours("06:00-23:30");
  struct Case {
    int hour, minute;
    bool nightOpen, dayOpen;
    int nightOpensDay, nightOpensHour;  // the next opening
    int dayOpensDay, dayOpensHour;
  };
  const Case cases[] = {
      {0, 30, true, false, 0, 5, 0, 6},  {1, 0, false, false, 0, 5, 0, 6},  {4, 59, false, false, 0, 5, 0, 6},
      {5, 0, true, false, 1, 5, 0, 6},   {6, 0, true, true, 1, 5, 1, 6},    {23, 29, true, true, 1, 5, 1, 6},
      {23, 30, true, false, 1, 5, 1, 6}, {23, 59, true, false, 1, 5, 1, 6},
  };
  for (const Case& c : cases) {
    const SystemTime moment = At(0, c.hour, c.minute);
    EXPECT_EQ(OpenAt(night, moment), c.nightOpen) << c.hour << ":" << c.minute;
    EXPECT_EQ(OpenAt(day, moment), c.dayOpen) << c.hour << ":" << c.minute;
    EXPECT_EQ(NextOpening(night, moment), At(c.nightOpensDay, c.nightOpensHour, 0)) << c.hour << ":" << c.minute;
    EXPECT_EQ(NextOpening(day, moment), At(c.dayOpensDay, c.dayOpensHour, 0)) << c.hour << ":" << c.minute;
  }
}

// The service's refusal while closed is read into its own kind.
TEST(ServiceHours, ClosedHoursRefusals) {
  const auto kindOf = [](const char8_t* text) { return RefusalFor(Gbk(text)).kind; };
  EXPECT_EQ(kindOf(u8"对不起，现在是系统维护时间，暂停办理购票业务"), AnswerKind::kServiceClosed);
  EXPECT_EQ(kindOf(u8"系统维护时间"), AnswerKind::kServiceClosed);
  EXPECT_EQ(kindOf(u8"系统繁忙，请稍后重试！"), AnswerKind::kRefused);
  EXPECT_EQ(kindOf(u8"当前车次尚未起售，请于起售时间后再购票！"), AnswerKind::kRefused);
  EXPECT_EQ(kindOf(u8""), AnswerKind::kRefused);
}

TEST(ThrottleBackoff, SignsStartAnEpisodeThatDoublesAndNormalAnswersEndIt) {
  ThrottleSettings settings;
  settings.jitter = 0;
  ThrottleBackoff backoff(settings);
  const SteadyTime t0{std::chrono::seconds(1000)};
  using Change = ThrottleBackoff::Change;
  using Sign = QueryAnswerSign;
  struct Step {
    Sign sign;
    int sentAtMs, nowMs;
    Change change;
    int pauseMs;  // after the step, when in an episode
  };
  const Step steps[] = {
      {Sign::kNormal, 0, 10, Change::kNone, 0},
      {Sign::kEmpty, 20, 30, Change::kNone, 0},  // one empty answer is no sign
      {Sign::kEmpty, 40, 50, Change::kNone, 0},
      {Sign::kEmpty, 60, 70, Change::kEpisodeStarted, 1000},  // the third in a row is
      {Sign::kThrottled, 65, 80, Change::kNone, 1000},        // sent before the pause: stale
      {Sign::kNormal, 66, 90, Change::kNone, 1000},           // stale too
      {Sign::kThrottled, 1100, 1110, Change::kPausedLonger, 2000},
      {Sign::kThrottled, 3200, 3210, Change::kPausedLonger, 4000},
      {Sign::kNormal, 7300, 7310, Change::kEpisodeEnded, 0},
      {Sign::kThrottled, 7400, 7410, Change::kEpisodeStarted, 1000},  // a new episode starts over
  };
  for (const Step& step : steps) {
    const Change change = backoff.Note(step.sign, t0 + std::chrono::milliseconds(step.sentAtMs),
                                       t0 + std::chrono::milliseconds(step.nowMs), 0.5);
    EXPECT_EQ(change, step.change) << step.nowMs;
    if (backoff.InEpisode()) {
      EXPECT_EQ(backoff.LastPause(), std::chrono::milliseconds(step.pauseMs)) << step.nowMs;
      if (change != Change::kNone) {
        EXPECT_EQ(backoff.ResumeAt(), t0 + std::chrono::milliseconds(step.nowMs + step.pauseMs)) << step.nowMs;
      }
    }
  }
}

TEST(ThrottleBackoff, PausesStayWithinOneToSixtySecondsWithJitter) {
  ThrottleBackoff backoff;  // 1 s first, 60 s longest, 20% jitter
  SteadyTime now{std::chrono::seconds(1)};
  for (int i = 0; i < 12; ++i) {
    const double random = (i % 3) / 2.0 * 0.999;
    backoff.Note(QueryAnswerSign::kThrottled, now, now, random);
    const auto pause = backoff.LastPause();
    const double base = std::min(1000.0 * (1 << i), 60000.0);
    EXPECT_GE(pause.count(), static_cast<long long>(std::min(base * 0.8, 60000.0)) - 1) << i;
    EXPECT_LE(pause.count(), 60000) << i;
    now = backoff.ResumeAt();
  }
}

TEST(QueryBudget, SpreadsMomentsEvenlyBelowTheBudget) {
  QueryBudget budget(5);
  const SteadyTime t0{std::chrono::seconds(10)};
  std::vector<SteadyTime> moments;
  // Fifteen workers asking at once get fifteen moments, one interval apart.
  for (int i = 0; i < 15; ++i) moments.push_back(budget.Reserve(t0));
  EXPECT_EQ(moments.front(), t0);
  for (std::size_t i = 1; i < moments.size(); ++i) EXPECT_EQ(moments[i] - moments[i - 1], budget.Interval());
  // In any second at most five.
  for (std::size_t i = 0; i + 5 < moments.size(); ++i) EXPECT_GT(moments[i + 5] - moments[i], 1s);
  EXPECT_LT(budget.Interval(), 210ms) << "within 5% of the budget";
  // After an idle while the next moment is now, not a burst of missed ones.
  const SteadyTime later = t0 + 60s;
  EXPECT_EQ(budget.Reserve(later), later);
  EXPECT_EQ(budget.Reserve(later), later + budget.Interval());
  EXPECT_EQ(QueryBudget(0).Reserve(later), later) << "no budget";
}

TEST(QueryBudget, ALateQueryNeverBringsOneMoreIntoAnySecond) {
  QueryBudget budget(3);
  const SteadyTime t0{std::chrono::seconds(10)};
  EXPECT_FALSE(budget.Admit(t0));
  EXPECT_FALSE(budget.Admit(t0 + 340ms));
  // The third woke late, so the fourth's reserved moment comes too soon.
  EXPECT_FALSE(budget.Admit(t0 + 700ms));
  const auto fourth = budget.Admit(t0 + 1010ms);
  ASSERT_TRUE(fourth.has_value());
  EXPECT_GT(*fourth, t0 + 1s);
  EXPECT_FALSE(budget.Admit(*fourth));
  EXPECT_FALSE(QueryBudget(0).Admit(t0)) << "no budget";
}

// A worker that queries as soon as the budget lets it, for a minute: it
// uses the rate, whether whole or not, and never has more queries in a
// window than the rate allows there.
TEST(QueryBudget, ARateBetweenWholeNumbersIsUsedNotRoundedDown) {
  struct RateCase {
    double perSecond;
    std::chrono::milliseconds window;  // any such span holds at most `most`
    std::size_t most;
  };
  const RateCase cases[] = {
      {5, 1000ms, 5}, {5.0 / 3, 3000ms, 5}, {2.5, 2000ms, 5}, {0.5, 2000ms, 1}, {1.7, 10000ms, 17}};
  for (const RateCase& c : cases) {
    SCOPED_TRACE(c.perSecond);
    QueryBudget budget(c.perSecond);
    const SteadyTime t0{std::chrono::seconds(10)};
    std::vector<SteadyTime> sent;
    SteadyTime now = t0;
    while (now < t0 + 60s) {
      now = budget.Reserve(now);
      // Every third query wakes late.
      if (sent.size() % 3 == 2) now += 150ms;
      while (const auto later = budget.Admit(now)) now = *later;
      sent.push_back(now);
    }
    const double used = static_cast<double>(sent.size() - 1) / 60.0;
    EXPECT_GT(used, c.perSecond * 0.9) << "of the budget, only " << used;
    EXPECT_LE(used, c.perSecond * 1.01);
    for (std::size_t i = 0; i + c.most < sent.size(); ++i) EXPECT_GT(sent[i + c.most] - sent[i], c.window) << i;
  }
}

TEST(QueryBudget, ANewRateTakesEffectAtTheNextReservation) {
  QueryBudget budget(6);
  const SteadyTime t0{std::chrono::seconds(10)};
  budget.Reserve(t0);
  const auto sixth = budget.Interval();
  budget.SetRate(2);
  EXPECT_EQ(budget.Reserve(t0), t0 + sixth) << "a reserved moment stands";
  EXPECT_EQ(budget.Reserve(t0), t0 + sixth + budget.Interval());
  EXPECT_GT(budget.Interval(), 3 * sixth - 1ms);
  EXPECT_LT(budget.Interval(), 3 * sixth + 1ms);
}

// A steady clock that moves only when waited on; this machine's and the
// service's clock read it plus one offset. Used from the test's thread only.
struct FakeClocks {
  SteadyTime steady = SteadyTime(1000s);
  std::chrono::nanoseconds systemMinusSteady{};
  SystemTime System() const {
    return SystemTime(std::chrono::duration_cast<SystemTime::duration>(steady.time_since_epoch() + systemMinusSteady));
  }
  ScheduleClocks Clocks() {
    ScheduleClocks clocks;
    clocks.steadyNow = [this] { return steady; };
    clocks.systemNow = [this] { return System(); };
    clocks.waitUntil = [this](SteadyTime moment, const std::stop_token& stop) {
      if (stop.stop_requested()) return false;
      steady = std::max(steady, moment);
      return true;
    };
    return clocks;
  }
};

TEST(QueryPacer, ClosedHoursAreWaitedOutToTheOpeningAndAClosedRefusalIsBelieved) {
  FakeClocks fake;
  // 01:30 China Standard Time: closed until 05:00 by the default hours.
  fake.systemMinusSteady = At(0, 1, 30) - SystemTime(std::chrono::duration_cast<SystemTime::duration>(1000s));
  const auto estimator = [&fake](const std::stop_token&) {
    net::ClockEstimateResult result;
    result.outcome = net::ClockEstimateOutcome::kEstimated;
    result.estimate.serviceMinusSteady = fake.systemMinusSteady;
    result.estimate.uncertainty = 2ms;
    result.estimate.shortestRoundTrip = 10ms;
    return result;
  };
  auto clock = std::make_shared<SharedServiceClock>(estimator, nullptr, fake.Clocks());
  std::vector<std::pair<SystemTime, bool>> told;
  PacerReport report;
  report.closed = [&told](SystemTime opening, bool byService) { told.emplace_back(opening, byService); };
  PacerSettings settings;
  settings.hours = ServiceHours{};
  QueryPacer pacer(settings, clock, report);
  const std::stop_token stop;

  const auto first = pacer.BeforeQuery(stop);
  ASSERT_TRUE(first.has_value());
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0], std::make_pair(At(0, 5, 0), false));
  // It reaches the service (half the round trip later) just after the opening.
  const SystemTime arrival = fake.System() + 5ms;
  EXPECT_GE(arrival, At(0, 5, 0));
  EXPECT_LE(arrival, At(0, 5, 0) + 10ms);
  ASSERT_TRUE(pacer.BeforeQuery(stop).has_value());
  EXPECT_EQ(told.size(), 1u) << "told once";

  // Open by the hours, but the service says closed: paused until the next opening.
  const auto refusedFor = [](const char8_t* text) {
    const AnswerVerdict verdict = RefusalFor(Gbk(text));
    return OrderOutcome{OrderOutcomeKind::kFailed, {}, verdict.reason, verdict.kind, OrderChainEnd::kConfirm};
  };
  EXPECT_FALSE(pacer.AfterOrderRefused(refusedFor(u8"余票不足！"), stop));
  EXPECT_FALSE(pacer.AfterOrderRefused(OrderOutcome{}, stop));
  EXPECT_TRUE(pacer.AfterOrderRefused(refusedFor(u8"对不起，现在是系统维护时间"), stop));
  ASSERT_TRUE(pacer.BeforeQuery(stop).has_value());
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[1], std::make_pair(At(1, 5, 0), true));
  EXPECT_GE(fake.System(), At(1, 5, 0) - 10ms);
}

TEST(KeepAlive, ChecksOnlyAfterAnIdleInterval) {
  std::atomic<int> checks{0};
  std::atomic<SteadyTime::rep> lastActivity{std::chrono::steady_clock::now().time_since_epoch().count()};
  {
    KeepAlive keepAlive(
        100ms, [&] { return SteadyTime(SteadyTime::duration(lastActivity.load())); },
        [&](const std::stop_token&) { ++checks; });
    // Busy: activity every 20 ms, no check.
    for (int i = 0; i < 15; ++i) {
      lastActivity = std::chrono::steady_clock::now().time_since_epoch().count();
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(checks.load(), 0);
    // Idle for 550 ms: about one check per 100 ms.
    std::this_thread::sleep_for(550ms);
  }
  EXPECT_GE(checks.load(), 3);
  EXPECT_LE(checks.load(), 6);
}

}  // namespace
}  // namespace quillet
