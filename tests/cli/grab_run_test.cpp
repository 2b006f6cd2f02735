// quillet-grab as a person or a script runs it: the binary against
// quillet-sim, signing in from a pipe with --captcha-cells.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "fleet/fleet_store.h"
#include "fleet/fleet_work_share.h"
#include "net/cookies.h"
#include "raw_http_server.h"
#include "support/qr_decoder.h"
#include "support/redis_process.h"
#include "support/sim_harness.h"
#include "util/codepage.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::size_t CountOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds patience = 30s) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// A path as the sim's request log writes it.
std::string Quoted(const char* path) { return "\"" + std::string(path) + "\""; }

// quillet-grab in a session of its own (no terminal), its input a pipe and
// its output in files.
class GrabProcess {
 public:
  // `keepInputOpen`: the input stays open after `input` (a prompt then waits).
  // `environment`: variables set for it on top of the test's; its language
  // is English unless they say otherwise.
  GrabProcess(const std::vector<std::string>& args, const std::string& input, bool withPassword = true,
              bool keepInputOpen = false, const std::vector<std::pair<std::string, std::string>>& environment = {})
      : folder_(std::filesystem::temp_directory_path() /
                ("quillet-grab-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
    std::filesystem::create_directories(folder_);
    std::vector<std::string> argv = {QUILLET_GRAB_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    const std::string out = OutPath();
    const std::string err = ErrPath();
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      dup2(fds[0], STDIN_FILENO);
      close(fds[0]);
      close(fds[1]);
      const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(outFd, STDOUT_FILENO);
      dup2(errFd, STDERR_FILENO);
      if (withPassword) {
        setenv("QUILLET_PASSWORD", "demo1234", 1);
      } else {
        unsetenv("QUILLET_PASSWORD");
      }
      setenv("TMPDIR", folder_.c_str(), 1);
      setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
      unsetenv("LANGUAGE");
      unsetenv("LC_MESSAGES");
      setenv("LC_ALL", "C.UTF-8", 1);
      for (const auto& [name, value] : environment) {
        if (value.empty()) {
          unsetenv(name.c_str());
        } else {
          setenv(name.c_str(), value.c_str(), 1);
        }
      }
      execv(raw[0], raw.data());
      _exit(127);
    }
    close(fds[0]);
    if (!input.empty() && write(fds[1], input.data(), input.size()) < 0) ADD_FAILURE() << "cannot write the input";
    if (keepInputOpen) {
      inputFd_ = fds[1];
    } else {
      close(fds[1]);
    }
  }
  ~GrabProcess() {
    if (pid_ > 0 && exitCode_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (inputFd_ >= 0) close(inputFd_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string Out() const { return ReadFile(OutPath()); }
  std::string Err() const { return ReadFile(ErrPath()); }
  const std::filesystem::path& Folder() const { return folder_; }
  // Waits (generously) until standard output holds `part` (`times` times).
  bool WaitForOutput(const std::string& part, std::size_t times = 1) const {
    for (auto waited = 0ms; waited < 30s; waited += 20ms) {
      if (CountOf(Out(), part) >= times) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  // Waits until a JSON attempt line counts `passes` passes of a wish.
  bool WaitForPasses(long passes) const {
    for (auto waited = 0ms; waited < 30s; waited += 20ms) {
      const std::string out = Out();
      for (std::size_t at = out.find("\"total\":"); at != std::string::npos; at = out.find("\"total\":", at + 1)) {
        if (std::stol(out.substr(at + 8)) >= passes) return true;
      }
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  void Signal(int signalNumber) const { kill(pid_, signalNumber); }
  // The exit code; a run still going after a minute is killed (-1).
  int Wait() {
    if (exitCode_ >= 0) return exitCode_;
    for (auto waited = 0ms; waited < 60s; waited += 20ms) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exitCode_;
      }
      std::this_thread::sleep_for(20ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    exitCode_ = -1;
    return exitCode_;
  }

 private:
  std::string OutPath() const { return (folder_ / "out").string(); }
  std::string ErrPath() const { return (folder_ / "err").string(); }
  static inline int counter_ = 0;
  std::filesystem::path folder_;
  pid_t pid_ = -1;
  int exitCode_ = -1;
  int inputFd_ = -1;
};

struct PlanWishText {
  std::vector<std::string> dates;
  std::vector<std::string> trains;
  std::vector<std::string> passengers = {"张伟", "李娜"};
  std::vector<std::string> seats = {"二等座"};
  std::string extraKeys = {};    // more lines of the wish, each ending in a newline
  std::string from = "\"VNP\"";  // TOML values
  std::string to = "\"AOH\"";
  std::string passengersToml = {};  // a TOML value instead of passengers
  std::string ticketType = "成人票";
};

std::string TomlList(const std::vector<std::string>& items) {
  std::string text = "[";
  for (const std::string& item : items) text += (text.size() > 1 ? ", \"" : "\"") + item + "\"";
  return text + "]";
}

class GrabRunTest : public ::testing::Test {
 protected:
  explicit GrabRunTest(std::vector<std::string> extraSimArgs = {}) : sim_(SimArgs(std::move(extraSimArgs))) {}
  static std::vector<std::string> SimArgs(std::vector<std::string> extra) {
    std::vector<std::string> args = {"--captcha-cells", "2,7", "--release-every", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    dates_ = {ChinaDatePlusDays(5), ChinaDatePlusDays(6)};
    // Two G trains between Beijing South and Shanghai Hongqiao that sell
    // first and second class on both dates, with their stock emptied.
    CookieJar jar;
    BookingClient client(sim_.BaseUrl(), jar);
    const TrainsResult trains = client.QueryLeftTickets(false, dates_[0], "VNP", "AOH");
    ASSERT_TRUE(trains.Done());
    for (const TrainRecord& train : trains.trains) {
      if (train.stationTrainCode.rfind("G", 0) == 0 && train.secondClassSeat != "--" && train.firstClassSeat != "--") {
        trains_.push_back(train.stationTrainCode);
      }
      if (trains_.size() == 2) break;
    }
    ASSERT_EQ(trains_.size(), 2u);
    for (const std::string& date : dates_) {
      for (const std::string& train : trains_) {
        for (const char* seat : {"O", "M"}) Stock(date, train, seat, 0);
      }
    }
  }

  void Stock(const std::string& date, const std::string& train, const std::string& seat, int count) {
    ASSERT_TRUE(Contains(sim_.Release(date, train, seat, count), "\"count\"")) << date << train << seat;
  }

  std::string WritePlan(const std::vector<PlanWishText>& wishes, const std::string& extra = {}) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("quillet-plan-" + std::to_string(::getpid()) + "-" + std::to_string(plans_.size()) + ".toml");
    std::ofstream out(path);
    // quillet-sim takes orders all day unless it is started with --hours.
    out << "service = \"" << sim_.BaseUrl() << "\"\naccount = \"demo\"\n"
        << (Contains(extra, "service_hours") ? "" : "service_hours = \"00:00-00:00\"\n") << extra;
    for (const PlanWishText& wish : wishes) {
      out << "\n[[wish]]\nfrom = " << wish.from << "\nto = " << wish.to << "\ndates = " << TomlList(wish.dates)
          << "\ntrains = " << TomlList(wish.trains)
          << "\npassengers = " << (wish.passengersToml.empty() ? TomlList(wish.passengers) : wish.passengersToml)
          << "\nticket_type = \"" << wish.ticketType << "\"\nseats = " << TomlList(wish.seats) << "\n"
          << wish.extraKeys;
    }
    plans_.push_back(path);
    return path.string();
  }

  void TearDown() override {
    for (const auto& path : plans_) std::filesystem::remove(path);
  }

  std::size_t Submits() const { return CountOf(sim_.Requests(), Quoted(service_paths::kSubmitOrderRequest)); }
  std::size_t Confirms() const { return CountOf(sim_.Requests(), Quoted(service_paths::kConfirmSingleForQueue)); }
  // Order requests (submissions and confirmations) in the sim's log after its
  // first confirmation: the account ordering again.
  std::size_t OrderRequestsAfterTheFirstConfirmation() const {
    const std::string log = sim_.Requests();
    const std::size_t first = log.find(Quoted(service_paths::kConfirmSingleForQueue));
    if (first == std::string::npos) return 0;
    const std::string after = log.substr(first + 1);
    return CountOf(after, Quoted(service_paths::kSubmitOrderRequest)) +
           CountOf(after, Quoted(service_paths::kConfirmSingleForQueue));
  }

  // Waits (generously) until the sim has seen a request to the path.
  bool WaitForRequest(const std::string& path) const {
    for (auto waited = 0ms; waited < 30s; waited += 20ms) {
      if (Contains(sim_.Requests(), path)) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  SimProcess sim_;
  std::vector<std::string> dates_;
  std::vector<std::string> trains_;
  std::vector<std::filesystem::path> plans_;
};

TEST_F(GrabRunTest, PartyOfTwoWaitsForTwoTicketsThenBooksOneOrder) {
  Stock(dates_[0], trains_[0], "O", 1);
  const std::string plan = WritePlan({{{dates_[0]}, {trains_[0]}}});
  // A wrong first answer fetches a new picture; the second line is right.
  GrabProcess grab({"--json", "--captcha-cells", plan}, "1 3\n2 7\n");
  ASSERT_TRUE(grab.WaitForPasses(5)) << grab.Err();
  EXPECT_TRUE(Contains(grab.Err(), "wrong captcha answer"));
  EXPECT_EQ(Submits(), 0u) << "one ticket does not cover two travellers";

  Stock(dates_[0], trains_[0], "O", 2);
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string state = sim_.State();
  EXPECT_EQ(CountOf(state, "\"orderId\""), 2u) << state;
  EXPECT_EQ(Submits(), 1u);
  const std::string out = grab.Out();
  EXPECT_TRUE(Contains(out, "{\"event\":\"booked\",\"wish\":1,\"date\":\"" + dates_[0] + "\",\"train\":\"" +
                                trains_[0] + "\",\"seat\":\"二等座\",\"passengers\":[\"张伟\",\"李娜\"],\"order_id\":"))
      << out;
}

class TwoAccountGrabRunTest : public GrabRunTest {
 protected:
  // Each account may hold both of its orders unpaid.
  TwoAccountGrabRunTest() : GrabRunTest({"--account", "second:demo1234", "--max-unpaid", "2"}) {}
};

// One process grabs for two accounts: one sign-in after the other, every
// line names its account, and the run ends well only when all four are booked.
TEST_F(TwoAccountGrabRunTest, TwoAccountsWithTwoWishesEachAreAllBooked) {
  for (const std::string& date : dates_) {
    for (const std::string& train : trains_) Stock(date, train, "O", 2);
  }
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quillet-plan-accounts-" + std::to_string(::getpid()) + ".toml");
  plans_.push_back(path);
  std::ofstream out(path);
  // Each booking's notification is appended to a file by a command.
  const std::filesystem::path told = path.string() + ".told";
  plans_.push_back(told);
  out << "service = \"" << sim_.BaseUrl() << "\"\nservice_hours = \"00:00-00:00\"\n"
      << "[notify]\ncommand = [\"/bin/sh\", \"-c\", \"cat >> \\\"$0\\\"; echo >> \\\"$0\\\"\", \"" << told.string()
      << "\"]\n";
  const char* const names[] = {"demo", "second"};
  for (std::size_t a = 0; a < 2; ++a) {
    out << "\n[[account]]\nname = \"" << names[a] << "\"\n";
    for (const std::string& train : trains_) {
      out << "\n[[account.wish]]\nfrom = \"VNP\"\nto = \"AOH\"\ndates = [\"" << dates_[a] << "\"]\ntrains = [\""
          << train << "\"]\npassengers = [\"张伟\", \"李娜\"]\nseats = [\"二等座\"]\n";
    }
  }
  out.close();

  GrabProcess check({"--check", path.string()}, "");
  EXPECT_EQ(check.Wait(), 0) << check.Err();
  EXPECT_TRUE(Contains(check.Out(), "Account 2 (line")) << check.Out();
  EXPECT_TRUE(Contains(check.Out(), "second")) << check.Out();

  GrabProcess grab({"--json", "--captcha-cells", "--no-sound", path.string()}, "2 7\n2 7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string events = grab.Out();
  for (const char* name : names) {
    EXPECT_EQ(CountOf(events, "{\"event\":\"booked\",\"account\":\"" + std::string(name) + "\""), 2u) << events;
    EXPECT_EQ(CountOf(events, "{\"event\":\"signed_in\",\"account\":\"" + std::string(name) + "\""), 1u) << events;
  }
  std::istringstream lines(events);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(Contains(line, "\"account\":\"")) << "a line without its account: " << line;
  }
  EXPECT_EQ(CountOf(events, "\"event\":\"notify_delivered\""), 4u) << events;
  EXPECT_EQ(CountOf(sim_.State(), "\"orderId\""), 8u) << "four orders of two passengers";
  const std::string notifications = ReadFile(told.string());
  for (const char* name : names) {
    EXPECT_EQ(CountOf(notifications, "{\"event\":\"booked\",\"account\":\"" + std::string(name) + "\""), 2u)
        << notifications;
  }
  EXPECT_EQ(Submits(), 4u);
}

// quillet-grab processes as members of one fleet: a redis-server of the
// test's own, each member on its own loopback address.
class FleetGrabRunTest : public GrabRunTest {
 protected:
  FleetGrabRunTest() : FleetGrabRunTest({}) {}
  explicit FleetGrabRunTest(std::vector<std::string> extraSimArgs)
      : GrabRunTest(WithAccounts(std::move(extraSimArgs))) {}
  static std::vector<std::string> WithAccounts(std::vector<std::string> args) {
    args.insert(args.end(), {"--account", "second:demo1234", "--account", "third:demo1234"});
    return args;
  }

  void SetUp() override {
    ASSERT_TRUE(redis_.Running());
    GrabRunTest::SetUp();
  }

  // One wish per account, each on a (date, train) of its own.
  std::string WriteFleetPlan(const std::vector<std::string>& accounts) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("quillet-fleet-plan-" + std::to_string(::getpid()) + "-" + std::to_string(plans_.size()) + ".toml");
    plans_.push_back(path);
    std::ofstream out(path);
    out << "service = \"" << sim_.BaseUrl() << "\"\nservice_hours = \"00:00-00:00\"\n\n[fleet]\nname = \"spring\"\n";
    for (std::size_t a = 0; a < accounts.size(); ++a) {
      out << "\n[[account]]\nname = \"" << accounts[a] << "\"\n\n[[account.wish]]\nfrom = \"VNP\"\nto = \"AOH\"\n"
          << "dates = [\"" << DateOf(a) << "\"]\ntrains = [\"" << TrainOf(a) << "\"]\n"
          << "passengers = [\"张伟\", \"李娜\"]\nseats = [\"二等座\"]\n";
    }
    return path.string();
  }
  const std::string& DateOf(std::size_t account) const { return dates_[account % 2]; }
  const std::string& TrainOf(std::size_t account) const { return trains_[account / 2 % 2]; }

  std::vector<std::string> MemberArgs(const std::string& address, const std::string& plan) const {
    return {"--json", "--captcha-cells", "--fleet", redis_.Url(), "--source-address", address, plan};
  }

  std::string HolderOf(const std::string& account) { return store_.LeaseHolder(account).holder; }
  // Members that started grabbing (a member that does not hold an account
  // first waits for its holder's sign-in).
  std::size_t LiveMembers() { return store_.ReadStatus().status.members.size(); }

  std::size_t SignIns() const { return CountOf(sim_.Requests(), Quoted(service_paths::kLogin)); }

  RedisProcess redis_;
  fleet::FleetStore store_{*fleet::ParseRedisUrl(redis_.Url()).address, "spring"};
};

TEST_F(FleetGrabRunTest, ThreeMembersBookThreeAccountsEachHeldByOneMemberAndNothingTwice) {
  const std::vector<std::string> accounts = {"demo", "second", "third"};
  const std::string plan = WriteFleetPlan(accounts);
  std::vector<std::unique_ptr<GrabProcess>> members;
  for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
    members.push_back(std::make_unique<GrabProcess>(MemberArgs(address, plan), "2 7\n2 7\n2 7\n"));
  }
  // Every account held, then the tickets come.
  ASSERT_TRUE(WaitUntil([&] {
    return std::all_of(accounts.begin(), accounts.end(), [&](const std::string& a) { return !HolderOf(a).empty(); });
  }));
  ASSERT_TRUE(WaitUntil([&] { return LiveMembers() == 3; }));
  const auto fleetStatus = [&] {
    GrabProcess shown({"--fleet-status", plan, "--fleet", redis_.Url()}, "");
    EXPECT_EQ(shown.Wait(), 0) << shown.Err();
    return shown.Out();
  };
  const std::string whileRunning = fleetStatus();
  for (const char* address :
       {"  127.0.0.2  last heartbeat", "  127.0.0.3  last heartbeat", "  127.0.0.4  last heartbeat"}) {
    EXPECT_TRUE(Contains(whileRunning, address)) << whileRunning;
  }
  std::map<std::string, std::set<std::string>> holders;
  for (std::size_t a = 0; a < accounts.size(); ++a) Stock(DateOf(a), TrainOf(a), "O", 2);
  std::atomic<bool> ended = false;
  std::thread sampler([&] {
    while (!ended) {
      for (const std::string& account : accounts) {
        const std::string holder = HolderOf(account);
        if (!holder.empty()) holders[account].insert(holder);
      }
      std::this_thread::sleep_for(20ms);
    }
  });
  for (const auto& member : members) EXPECT_EQ(member->Wait(), 0) << member->Err() << member->Out();
  ended = true;
  sampler.join();

  for (const std::string& account : accounts) {
    EXPECT_EQ(holders[account].size(), 1u) << account << " changed hands without a member leaving";
    std::size_t held = 0;
    for (const auto& member : members) held += CountOf(member->Err(), "[" + account + "] this member now holds");
    EXPECT_EQ(held, 1u) << account;
  }
  EXPECT_EQ(Submits(), 3u) << "one order per wish";
  EXPECT_EQ(CountOf(sim_.State(), "\"orderId\""), 6u);
  EXPECT_EQ(SignIns(), 3u) << "one sign-in per account in the whole fleet";

  // Members that ended left the fleet's list at once.
  const std::string statusOut = fleetStatus();
  EXPECT_TRUE(Contains(statusOut, "Members\n  none alive\n")) << statusOut;
  for (const std::string& account : accounts) {
    EXPECT_TRUE(Contains(statusOut, "  " + account + "  held by nobody")) << statusOut;
    EXPECT_TRUE(Contains(statusOut, "  " + account + "/1  1 attempts, booked by ")) << statusOut;
  }
}

TEST_F(FleetGrabRunTest, AHolderKilledIsReplacedWithinFifteenSecondsAndItsSignInBooks) {
  const std::string plan = WriteFleetPlan({"demo"});
  GrabProcess first(MemberArgs("127.0.0.2", plan), "2 7\n");
  ASSERT_TRUE(WaitUntil([&] { return Contains(first.Err(), "this member now holds"); })) << first.Err();
  // The second member has no captcha answer: it can only go on with the stored sign-in.
  GrabProcess second(MemberArgs("127.0.0.3", plan), "");
  ASSERT_TRUE(WaitUntil([&] { return Contains(second.Err(), "queries and tells"); })) << second.Err();
  const std::string firstHolder = HolderOf("demo");

  first.Signal(SIGKILL);
  EXPECT_EQ(first.Wait(), 128 + SIGKILL);
  const auto killed = std::chrono::steady_clock::now();
  Stock(DateOf(0), TrainOf(0), "O", 2);
  ASSERT_TRUE(WaitUntil([&] { return Contains(second.Err(), "this member now holds"); }, 15s)) << second.Err();
  EXPECT_LT(std::chrono::steady_clock::now() - killed, 15s);
  EXPECT_NE(HolderOf("demo"), firstHolder);
  EXPECT_EQ(second.Wait(), 0) << second.Err();
  EXPECT_TRUE(Contains(second.Out(), "{\"event\":\"booked\",\"account\":\"demo\"")) << second.Out();
  EXPECT_EQ(SignIns(), 1u) << "the new holder went on without a sign-in";
  EXPECT_EQ(Submits(), 1u);
}

// Every answer of the service a little slow, so that a member can be killed
// between its confirmation and the outcome.
class SlowFleetGrabRunTest : public FleetGrabRunTest {
 protected:
  SlowFleetGrabRunTest() : FleetGrabRunTest({"--latency-ms", "300"}) {}
};

// A holder killed after its confirmation went: nobody can know whether its
// order stands, so the member that takes over orders nothing more; the wish
// ends as a case for a person, told once, and the run ends with exit 4.
TEST_F(SlowFleetGrabRunTest, AHolderKilledWhileConfirmingLeavesACaseForAPersonNotASecondOrder) {
  const std::string plan = WriteFleetPlan({"demo"});
  GrabProcess first(MemberArgs("127.0.0.2", plan), "2 7\n");
  ASSERT_TRUE(WaitUntil([&] { return Contains(first.Err(), "this member now holds"); }, 20s)) << first.Err();
  GrabProcess second(MemberArgs("127.0.0.3", plan), "");
  ASSERT_TRUE(WaitUntil([&] { return Contains(second.Err(), "queries and tells"); }, 20s)) << second.Err();

  Stock(DateOf(0), TrainOf(0), "O", 2);
  const std::string confirm = Quoted(service_paths::kConfirmSingleForQueue);
  ASSERT_TRUE(WaitUntil([&] { return CountOf(sim_.Requests(), confirm) > 0; }, 20s));
  first.Signal(SIGKILL);
  EXPECT_EQ(first.Wait(), 128 + SIGKILL);

  EXPECT_EQ(second.Wait(), 4) << second.Err();
  EXPECT_EQ(CountOf(second.Out(), "{\"event\":\"manual_check\",\"account\":\"demo\""), 1u) << second.Out();
  EXPECT_TRUE(Contains(second.Out(), "\"date\":\"" + DateOf(0) + "\",\"train\":\"" + TrainOf(0) + "\""))
      << "the case names the order the killed holder confirmed\n"
      << second.Out();
  EXPECT_EQ(CountOf(sim_.Requests(), confirm), 1u) << "a second order";
  const fleet::OutcomeResult outcome = store_.ReadOutcome(fleet::DefaultWishName("demo", 0));
  ASSERT_TRUE(outcome.outcome);
  EXPECT_EQ(outcome.outcome->kind, fleet::WishOutcomeKind::kManualCheck);
}

// A Redis that comes back empty: the member waits, takes the account again
// with its own sign-in, and books once.
TEST_F(FleetGrabRunTest, AMemberGoesOnAfterRedisRestartsAndOrdersOnce) {
  const std::string plan = WriteFleetPlan({"demo"});
  GrabProcess member(MemberArgs("127.0.0.2", plan), "2 7\n");
  ASSERT_TRUE(WaitUntil([&] { return Contains(member.Err(), "this member now holds"); })) << member.Err();
  redis_.Stop();
  std::this_thread::sleep_for(3s);
  ASSERT_TRUE(redis_.Restart());
  Stock(DateOf(0), TrainOf(0), "O", 2);
  EXPECT_EQ(member.Wait(), 0) << member.Err();
  EXPECT_EQ(Submits(), 1u);
  EXPECT_EQ(SignIns(), 1u);
  EXPECT_TRUE(store_.ReadOutcome(fleet::DefaultWishName("demo", 0)).outcome);
}

// Three members, two accounts: Redis comes back empty (leases, stored
// sign-ins and all). The members wait; each account is taken again by the
// member whose session is still signed in, so nobody signs in again; each
// wish is ordered once.
TEST_F(FleetGrabRunTest, MembersGoOnAfterRedisRestartsWithoutANewSignInAndOrderEachWishOnce) {
  const std::vector<std::string> accounts = {"demo", "second"};
  const std::string plan = WriteFleetPlan(accounts);
  std::vector<std::unique_ptr<GrabProcess>> members;
  for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
    members.push_back(std::make_unique<GrabProcess>(MemberArgs(address, plan), "2 7\n2 7\n2 7\n2 7\n"));
  }
  ASSERT_TRUE(WaitUntil([&] {
    return std::all_of(accounts.begin(), accounts.end(), [&](const std::string& a) { return !HolderOf(a).empty(); });
  }));
  ASSERT_TRUE(WaitUntil([&] { return SignIns() == 2 && LiveMembers() == 3; }));
  std::this_thread::sleep_for(1500ms);  // every member has tried the leases once
  std::map<std::string, std::string> holderBefore;
  for (const std::string& account : accounts) holderBefore[account] = HolderOf(account);

  redis_.Stop();
  std::this_thread::sleep_for(3s);
  ASSERT_TRUE(redis_.Restart());
  ASSERT_TRUE(WaitUntil([&] {
    return std::all_of(accounts.begin(), accounts.end(), [&](const std::string& a) { return !HolderOf(a).empty(); });
  }));
  for (const std::string& account : accounts) {
    EXPECT_EQ(HolderOf(account), holderBefore[account]) << account << " went to a member without a sign-in";
  }
  for (std::size_t a = 0; a < accounts.size(); ++a) Stock(DateOf(a), TrainOf(a), "O", 2);
  for (const auto& member : members) EXPECT_EQ(member->Wait(), 0) << member->Err() << member->Out();
  EXPECT_EQ(Submits(), 2u) << "one order per wish";
  EXPECT_EQ(CountOf(sim_.State(), "\"orderId\""), 4u);
  EXPECT_EQ(SignIns(), 2u) << "a sign-in after Redis came back";
}

TEST_F(FleetGrabRunTest, AnUnreachableRedisAtTheStartEndsWithAClearMessage) {
  const std::string plan = WriteFleetPlan({"demo"});
  redis_.Stop();
  GrabProcess member(MemberArgs("127.0.0.2", plan), "2 7\n");
  EXPECT_EQ(member.Wait(), 1);
  EXPECT_TRUE(Contains(member.Err(), "cannot reach the fleet's Redis at 127.0.0.1:")) << member.Err();
  EXPECT_EQ(SignIns(), 0u);
}

TEST_F(GrabRunTest, ADepartureWindowPassesOverAnEarlierTrainWithTickets) {
  CookieJar jar;
  BookingClient client(sim_.BaseUrl(), jar);
  const TrainsResult answer = client.QueryLeftTickets(false, dates_[0], "VNP", "AOH");
  ASSERT_TRUE(answer.Done());
  std::string firstStart, secondStart;
  for (const TrainRecord& train : answer.trains) {
    if (train.stationTrainCode == trains_[0]) firstStart = train.startTime;
    if (train.stationTrainCode == trains_[1]) secondStart = train.startTime;
  }
  ASSERT_FALSE(firstStart.empty());
  ASSERT_FALSE(secondStart.empty());
  // The train that leaves later is wanted second; the window leaves only it.
  const bool firstLeavesFirst = firstStart < secondStart;
  ASSERT_NE(firstStart, secondStart);
  const std::string early = firstLeavesFirst ? trains_[0] : trains_[1];
  const std::string late = firstLeavesFirst ? trains_[1] : trains_[0];
  const std::string lateStart = firstLeavesFirst ? secondStart : firstStart;
  Stock(dates_[0], early, "O", 5);
  Stock(dates_[0], late, "O", 5);
  PlanWishText wish{{dates_[0]}, {early, late}};
  wish.extraKeys = "depart = \"" + lateStart + "-\"\n";
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({wish})}, "2 7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  EXPECT_TRUE(
      Contains(grab.Out(), "\"event\":\"booked\",\"wish\":1,\"date\":\"" + dates_[0] + "\",\"train\":\"" + late + "\""))
      << grab.Out();
  EXPECT_EQ(Submits(), 1u);
}

TEST_F(GrabRunTest, TheSecondStationPairBooksWhenTheFirstIsSoldOut) {
  // A G train from Beijing (not Beijing South) with second class that the
  // Beijing South query does not list.
  CookieJar jar;
  BookingClient client(sim_.BaseUrl(), jar);
  const TrainsResult fromBeijing = client.QueryLeftTickets(false, dates_[0], "BJP", "AOH");
  ASSERT_TRUE(fromBeijing.Done());
  std::string other;
  for (const TrainRecord& train : fromBeijing.trains) {
    if (train.stationTrainCode.rfind("G", 0) == 0 && train.secondClassSeat != "--" &&
        std::find(trains_.begin(), trains_.end(), train.stationTrainCode) == trains_.end()) {
      other = train.stationTrainCode;
      break;
    }
  }
  ASSERT_FALSE(other.empty()) << "no G train from BJP";
  Stock(dates_[0], other, "O", 5);
  PlanWishText wish{{dates_[0]}, {trains_[0], other}};
  wish.from = "[\"VNP\", \"BJP\"]";
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({wish})}, "2 7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  EXPECT_TRUE(Contains(grab.Out(),
                       "\"event\":\"booked\",\"wish\":1,\"date\":\"" + dates_[0] + "\",\"train\":\"" + other + "\""))
      << grab.Out();
  const std::string log = sim_.Requests();
  EXPECT_TRUE(Contains(log, "from_station=VNP")) << "the first pair is asked too";
  EXPECT_TRUE(Contains(log, "from_station=BJP"));
  EXPECT_EQ(Submits(), 1u);
}

// Two F seats are asked for the party: given when the sim has F seats left,
// other seats when they are sold out; the booking names the seats either way.
TEST_F(GrabRunTest, SeatPositionsAreAskedAndTheSeatsGivenAreReported) {
  struct Case {
    const char* name;
    std::string soldOut;  // positions the sim has no more seats in
    bool honoured;
  };
  const Case cases[] = {{"F seats left", "", true}, {"F seats sold out", "F", false}};
  for (const Case& c : cases) {
    sim_.Reset();
    Stock(dates_[0], trains_[0], "O", 2);
    ASSERT_TRUE(
        Contains(sim_.PostForm("/sim/taken",
                               {{"date", dates_[0]}, {"train", trains_[0]}, {"seat", "O"}, {"positions", c.soldOut}}),
                 "\"positions\""));
    PlanWishText wish{{dates_[0]}, {trains_[0]}};
    wish.extraKeys = "seat_positions = [\"F\", \"F\"]\n";
    GrabProcess grab({"--json", "--captcha-cells", WritePlan({wish})}, "2 7\n");
    ASSERT_EQ(grab.Wait(), 0) << c.name << ": " << grab.Err();
    EXPECT_TRUE(Contains(sim_.Requests(), "choose_seats=1F2F&seatDetailType=000")) << c.name;

    const std::string state = sim_.State();
    EXPECT_EQ(CountOf(state, "\"position\":\"F\""), c.honoured ? 2u : 0u) << c.name << ": " << state;
    EXPECT_EQ(CountOf(state, "\"position\":"), 2u) << c.name << ": " << state;
    // The booked event names each passenger's car and seat as the sim gave them.
    const std::string out = grab.Out();
    const std::size_t seats = out.find("\"seats\":[{\"passenger\":\"张伟\",\"coach\":\"");
    ASSERT_NE(seats, std::string::npos) << c.name << ": " << out;
    EXPECT_TRUE(Contains(out.substr(seats), "{\"passenger\":\"李娜\",\"coach\":\"")) << out;
    EXPECT_EQ(CountOf(out.substr(seats), "F号\"}"), c.honoured ? 2u : 0u) << c.name << ": " << out;
  }
}

TEST_F(GrabRunTest, ALowerBerthIsAskedAndGiven) {
  CookieJar jar;
  BookingClient client(sim_.BaseUrl(), jar);
  const TrainsResult answer = client.QueryLeftTickets(false, dates_[0], "VNP", "AOH");
  ASSERT_TRUE(answer.Done());
  std::string sleeper;
  for (const TrainRecord& train : answer.trains) {
    if (train.hardSleeper != "--" && train.canWebBuy == "Y") {
      sleeper = train.stationTrainCode;
      break;
    }
  }
  ASSERT_FALSE(sleeper.empty()) << "no train with hard sleepers";
  Stock(dates_[0], sleeper, "3", 1);
  PlanWishText wish{{dates_[0]}, {sleeper}, {"张伟"}, {"硬卧"}};
  wish.extraKeys = "berths = [\"下铺\"]\n";
  GrabProcess grab({"--captcha-cells", WritePlan({wish})}, "2 7\n");
  ASSERT_EQ(grab.Wait(), 0) << grab.Err();
  EXPECT_TRUE(Contains(sim_.Requests(), "choose_seats=&seatDetailType=100"));
  EXPECT_TRUE(Contains(sim_.State(), "\"berth\":\"下铺\"")) << sim_.State();
  EXPECT_TRUE(Contains(grab.Out(), "; seats: 张伟 car ")) << grab.Out();
  EXPECT_TRUE(Contains(grab.Out(), "下铺")) << grab.Out();
}

TEST_F(GrabRunTest, TicketTypesAreCheckedPerPassengerBeforeAnyOrder) {
  Stock(dates_[0], trains_[0], "O", 5);
  const std::size_t queriesBefore = CountOf(sim_.Requests(), service_paths::kLeftTicketQuery);
  PlanWishText notAStudent{{dates_[0]}, {trains_[0]}, {"张伟"}};
  notAStudent.ticketType = "学生票";
  GrabProcess refused({"--json", "--captcha-cells", WritePlan({notAStudent})}, "2 7\n");
  EXPECT_EQ(refused.Wait(), 1) << refused.Err();
  EXPECT_TRUE(Contains(refused.Err(), "张伟 cannot travel on a 学生票")) << refused.Err();
  EXPECT_EQ(CountOf(sim_.Requests(), service_paths::kLeftTicketQuery), queriesBefore) << "refused before any query";
  EXPECT_EQ(Submits(), 0u);

  // A student with a student ticket and an adult with an adult ticket on
  // one order.
  PlanWishText mixed{{dates_[0]}, {trains_[0]}};
  mixed.passengersToml = "[{name = \"王晓明\", ticket = \"学生票\"}, \"张伟\"]";
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({mixed})}, "2 7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string log = sim_.Requests();
  EXPECT_TRUE(Contains(log, "passengerTicketStr=O%2C0%2C3%2C")) << log.substr(0, 2000);
  EXPECT_TRUE(Contains(log, "_O%2C0%2C1%2C"));
}

TEST_F(GrabRunTest, FirstChoiceInPreferenceOrderWins) {
  // Stock is set per case as (date index, train index, seat code, count).
  struct Stocked {
    int date, train;
    const char* seat;
    int count;
  };
  struct Case {
    const char* name;
    std::vector<Stocked> stock;
    std::vector<int> dates, trains;
    std::vector<std::string> seats;
    int bookedDate, bookedTrain;
    const char* bookedSeat;
  };
  const Case cases[] = {
      {"only the second date has tickets", {{1, 0, "O", 3}}, {0, 1}, {0}, {"二等座"}, 1, 0, "二等座"},
      {"the first date wins over the second",
       {{0, 0, "O", 3}, {1, 0, "O", 3}},
       {0, 1},
       {0},
       {"二等座"},
       0,
       0,
       "二等座"},
      {"the plan's train order, not the answer's",
       {{0, 0, "O", 3}, {0, 1, "O", 3}},
       {0},
       {1, 0},
       {"二等座"},
       0,
       1,
       "二等座"},
      {"the seat order", {{0, 0, "O", 3}, {0, 0, "M", 3}}, {0}, {0}, {"一等座", "二等座"}, 0, 0, "一等座"},
      {"a class short of the party is passed over",
       {{0, 0, "O", 1}, {0, 0, "M", 2}},
       {0},
       {0},
       {"二等座", "一等座"},
       0,
       0,
       "一等座"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Stocked& s : c.stock) Stock(dates_[s.date], trains_[s.train], s.seat, s.count);
    PlanWishText wish;
    for (int d : c.dates) wish.dates.push_back(dates_[d]);
    for (int t : c.trains) wish.trains.push_back(trains_[t]);
    wish.seats = c.seats;
    GrabProcess grab({"--json", "--captcha-cells", WritePlan({wish})}, "2 7\n");
    EXPECT_EQ(grab.Wait(), 0) << grab.Err();
    EXPECT_TRUE(Contains(grab.Out(), "\"date\":\"" + dates_[c.bookedDate] + "\",\"train\":\"" + trains_[c.bookedTrain] +
                                         "\",\"seat\":\"" + c.bookedSeat + "\""))
        << grab.Out();
    // Back to empty, and the account free for the next order.
    for (const Stocked& s : c.stock) Stock(dates_[s.date], trains_[s.train], s.seat, 0);
    sim_.Reset();
  }
}

// The service books the order and the confirmation's answer is lost on the
// way back: the run learns the order id from the polls and reports the
// booking, or, when the polls are lost too, ends as a manual check. Never a
// loop: nothing is ordered after that confirmation.
TEST_F(GrabRunTest, ALostConfirmationAnswerIsReportedWithinTheQueueWait) {
  const struct {
    const char* mode;
    bool pollsLost;
    int exitCode;
    const char* event;
  } cases[] = {
      {"garbage", false, 0, "booked"},      {"truncated", false, 0, "booked"},      {"reset", false, 0, "booked"},
      {"garbage", true, 4, "manual_check"}, {"truncated", true, 4, "manual_check"}, {"reset", true, 4, "manual_check"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + (c.pollsLost ? ", polls lost" : ""));
    sim_.Reset();
    Stock(dates_[0], trains_[0], "O", 2);
    ASSERT_TRUE(Contains(sim_.ArmFault("confirmSingleForQueue", c.mode), c.mode));
    if (c.pollsLost) sim_.ArmFault("queryOrderWaitTime", "garbage", 3);
    GrabProcess grab({"--json", "--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}})}, "2 7\n");
    EXPECT_EQ(grab.Wait(), c.exitCode) << grab.Err();
    const std::string out = grab.Out();
    EXPECT_TRUE(Contains(out, "{\"event\":\"" + std::string(c.event) + "\",\"wish\":1,\"date\":\"" + dates_[0] +
                                  "\",\"train\":\"" + trains_[0] +
                                  "\",\"seat\":\"二等座\",\"passengers\":[\"张伟\",\"李娜\"]"))
        << out;
    if (c.pollsLost) {
      EXPECT_TRUE(Contains(out, "\"reason\":\"确认进入队列未得应答,请手动查看购票结果!\"")) << out;
    }
    EXPECT_EQ(Confirms(), 1u);
    EXPECT_EQ(OrderRequestsAfterTheFirstConfirmation(), 0u) << "the account ordered again";
    EXPECT_TRUE(Contains(sim_.State(), "\"status\":\"" + std::string(c.pollsLost ? "queued" : "unpaid") + "\""));
  }
}

TEST_F(GrabRunTest, AnUnpaidOrderOfTheAccountEndsTheWishAsAManualCheckAtOnce) {
  Stock(dates_[0], trains_[0], "O", 4);
  GrabProcess first({"--json", "--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}})}, "2 7\n");
  ASSERT_EQ(first.Wait(), 0) << first.Err();
  // The account now holds an unpaid order: the service refuses the next one.
  GrabProcess second({"--json", "--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}})}, "2 7\n");
  EXPECT_EQ(second.Wait(), 4) << second.Err();
  const std::string out = second.Out();
  EXPECT_EQ(CountOf(out, "\"event\":\"manual_check\""), 1u) << out;
  EXPECT_TRUE(Contains(out, "\"reason\":\"提交订单请求失败!失败原因:您还有未处理的订单")) << out;
  EXPECT_EQ(CountOf(out, "order_refused"), 0u) << out;
  EXPECT_EQ(Submits(), 2u) << "one submission per run";
}

TEST_F(GrabRunTest, AnotherWishOfTheAccountDoesNotOrderWhileAnOutcomeIsUnknown) {
  Stock(dates_[0], trains_[0], "O", 2);
  Stock(dates_[0], trains_[1], "O", 2);
  sim_.ArmFault("confirmSingleForQueue", "reset");
  sim_.ArmFault("queryOrderWaitTime", "garbage", 3);
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}, {{dates_[0]}, {trains_[1]}}})},
                   "2 7\n");
  EXPECT_EQ(grab.Wait(), 4) << grab.Err();
  const std::string out = grab.Out();
  EXPECT_EQ(CountOf(out, "\"event\":\"manual_check\""), 2u) << out;
  EXPECT_TRUE(Contains(out, "\"reason\":\"确认进入队列未得应答,请手动查看购票结果!\"")) << out;
  EXPECT_TRUE(Contains(out, "\"reason\":\"本账号另有订单结果未明,请手动查看购票结果!\"")) << out;
  EXPECT_EQ(OrderRequestsAfterTheFirstConfirmation(), 0u) << "the account ordered again";
}

TEST_F(GrabRunTest, SigtermStopsTheRunWithAStoppedEvent) {
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}})}, "2 7\n");
  ASSERT_TRUE(grab.WaitForPasses(3)) << grab.Err();
  grab.Signal(SIGTERM);
  EXPECT_EQ(grab.Wait(), 3) << grab.Err();
  const std::string out = grab.Out();
  EXPECT_TRUE(Contains(out, "{\"event\":\"stopped\",\"reason\":\"SIGTERM\",\"at\":")) << out;
}

TEST_F(GrabRunTest, LapsedSessionWithoutATerminalEndsWithAMessage) {
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}})}, "2 7\n");
  ASSERT_TRUE(grab.WaitForPasses(3)) << grab.Err();
  sim_.Reset();  // the service forgets every session
  Stock(dates_[0], trains_[0], "O", 5);
  EXPECT_EQ(grab.Wait(), 1) << grab.Err();
  EXPECT_TRUE(Contains(grab.Err(), "the session lapsed")) << grab.Err();
  EXPECT_EQ(CountOf(grab.Out(), "{\"event\":\"session_lapsed\""), 1u) << grab.Out();
  EXPECT_EQ(Submits(), 0u) << "a lapse is seen by the session check before any order";
  // Told once, not a loop of refusals.
  EXPECT_LE(CountOf(grab.Out(), "order_refused"), 1u) << grab.Out();
}

TEST_F(GrabRunTest, RunTimeFailuresAndBadPlansEndWithTheirCodes) {
  const std::string good = WritePlan({{{dates_[0]}, {trains_[0]}}});
  PlanWishText stranger{{dates_[0]}, {trains_[0]}};
  stranger.passengers = {"张伟", "赵六"};
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    int exitCode;
    std::string message;  // in standard error
  };
  const Case cases[] = {
      {"input ends before a captcha answer", {"--captcha-cells", good}, "", 1, "no captcha answer"},
      {"input ends after a wrong answer", {"--captcha-cells", good}, "1\n", 1, "no captcha answer"},
      {"a passenger the account lacks", {"--captcha-cells", WritePlan({stranger})}, "2 7\n", 1, "赵六"},
      {"a plan with an unknown key", {WritePlan({}, "colour = \"red\"\n")}, "", 2, ".toml:4"},
      {"no plan", {}, "", 2, "no plan file"},
  };
  for (const Case& c : cases) {
    GrabProcess grab(c.args, c.input);
    EXPECT_EQ(grab.Wait(), c.exitCode) << c.name << "\n" << grab.Err();
    EXPECT_TRUE(Contains(grab.Err(), c.message)) << c.name << "\n" << grab.Err();
  }
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(GrabRunTest, ASecondSignalEndsADrippedConfirmationWithinTwoSecondsAndNamesTheOrder) {
  Stock(dates_[0], trains_[0], "O", 3);
  sim_.ArmFault("confirmSingleForQueue", "drip");
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}})}, "2 7\n");
  ASSERT_TRUE(WaitForRequest(service_paths::kConfirmSingleForQueue)) << grab.Err();
  std::this_thread::sleep_for(300ms);
  grab.Signal(SIGTERM);  // the confirmed order is followed to its end...
  std::this_thread::sleep_for(300ms);
  const auto second = std::chrono::steady_clock::now();
  grab.Signal(SIGTERM);  // ...unless a second signal ends the program
  EXPECT_EQ(grab.Wait(), 3) << grab.Err();
  EXPECT_LT(SecondsSince(second), 2.0);
  EXPECT_TRUE(Contains(grab.Err(), "an order for " + trains_[0] + " on " + dates_[0])) << grab.Err();
  EXPECT_TRUE(Contains(grab.Out(), "{\"event\":\"stopped\",\"reason\":\"SIGTERM\",\"at\":")) << grab.Out();
}

TEST_F(GrabRunTest, ADrippedCaptchaPictureEndsAtTheDeadlineWithAClearMessage) {
  sim_.ArmFault("getPassCodeNew", "drip");
  GrabProcess grab({"--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}})}, "2 7\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(grab.Wait(), 1) << grab.Err();
  EXPECT_LT(SecondsSince(start), 30.0);
  EXPECT_TRUE(Contains(grab.Err(),
                       "cannot fetch the captcha picture: the captcha picture: no answer: the answer did not "
                       "arrive in time (an exchange may take 15 s)"))
      << grab.Err();
}

TEST_F(GrabRunTest, ASignalAtTheCaptchaPromptStopsAndTakesThePictureAlong) {
  // The picture is drawn and saved; the answer never comes.
  GrabProcess grab({WritePlan({{{dates_[0]}, {trains_[0]}}})}, "", true, true);
  ASSERT_TRUE(WaitForRequest("getPassCodeNew")) << grab.Err();
  for (auto waited = 0ms;
       waited < 30s && !Contains(grab.Err(), "Captcha cells") && !Contains(grab.Err(), "cells are numbered");
       waited += 20ms) {
    std::this_thread::sleep_for(20ms);
  }
  const std::string before = grab.Err();
  ASSERT_TRUE(Contains(before, "captcha picture saved to " + grab.Folder().string() + "/quillet-grab-")) << before;
  grab.Signal(SIGINT);
  EXPECT_EQ(grab.Wait(), 3) << grab.Err();
  EXPECT_TRUE(Contains(grab.Err(), "quillet-grab: stopped by SIGINT during the sign-in\n")) << grab.Err();
  for (const auto& entry : std::filesystem::directory_iterator(grab.Folder())) {
    EXPECT_EQ(entry.path().filename().string().rfind("quillet-grab-", 0), std::string::npos)
        << entry.path() << " was left behind";
  }
}

// A webhook that answers after `delay`, counting what it received.
class SlowWebhook {
 public:
  explicit SlowWebhook(std::chrono::milliseconds delay)
      : server_([this, delay](const RawRequest& request, RawConnection& connection) {
          received_ += Contains(request.body, "\"event\":\"booked\"") ? 1 : 0;
          if (!connection.Wait(delay)) return;
          connection.Send(Answer(200, {}, "ok"));
        }) {}
  std::string Url() const { return server_.Url("/hook"); }
  int Received() const { return received_; }

 private:
  std::atomic<int> received_{0};
  RawHttpServer server_;
};

TEST_F(GrabRunTest, TheFinalBookingReachesASlowWebhookAndASlowCommandWithoutThePassword) {
  Stock(dates_[0], trains_[0], "O", 3);
  SlowWebhook hook(5s);
  const std::filesystem::path told =
      std::filesystem::temp_directory_path() / ("quillet-told-" + std::to_string(::getpid()));
  const std::string notify =
      "[notify]\nurl = \"" + hook.Url() +
      "\"\ncommand = [\"/bin/sh\", \"-c\", \"sleep 3; env > \\\"$0.env\\\"; cat > \\\"$0\\\"\", \"" + told.string() +
      "\"]\n";
  GrabProcess grab({"--json", "--captcha-cells", "--no-sound", WritePlan({{{dates_[0]}, {trains_[0]}}}, notify)},
                   "2 7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string out = grab.Out();
  EXPECT_TRUE(
      Contains(out, "{\"event\":\"notify_delivered\",\"notifier\":\"webhook\",\"about\":\"booked\",\"train\":\"" +
                        trains_[0] + "\",\"date\":\"" + dates_[0] + "\",\"at\":"))
      << out;
  EXPECT_TRUE(Contains(out, "{\"event\":\"notify_delivered\",\"notifier\":\"command\",\"about\":\"booked\"")) << out;
  EXPECT_TRUE(Contains(grab.Err(), "quillet-grab: still delivering ")) << grab.Err();
  EXPECT_EQ(hook.Received(), 1);
  EXPECT_TRUE(Contains(ReadFile(told.string()), "\"event\":\"booked\""));
  const std::string environment = ReadFile(told.string() + ".env");
  EXPECT_TRUE(Contains(environment, "PATH=")) << environment;
  EXPECT_FALSE(Contains(environment, "QUILLET_PASSWORD")) << environment;
  std::filesystem::remove(told);
  std::filesystem::remove(told.string() + ".env");
}

TEST_F(GrabRunTest, ASignalGivesUpTheNotificationsStillPendingAndSaysWhich) {
  Stock(dates_[0], trains_[0], "O", 3);
  SlowWebhook hook(60s);
  GrabProcess grab({"--captcha-cells", "--no-sound",
                    WritePlan({{{dates_[0]}, {trains_[0]}}}, "[notify]\nurl = \"" + hook.Url() + "\"\n")},
                   "2 7\n");
  for (auto waited = 0ms; waited < 30s && !Contains(grab.Err(), "still delivering"); waited += 20ms) {
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(Contains(grab.Err(), "still delivering webhook (booked " + trains_[0] + " on " + dates_[0] + ")"))
      << grab.Err();
  const auto signalled = std::chrono::steady_clock::now();
  grab.Signal(SIGINT);
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();  // the booking stands
  EXPECT_LT(SecondsSince(signalled), 2.0);
  EXPECT_TRUE(
      Contains(grab.Err(), "quillet-grab: not delivered: webhook (booked " + trains_[0] + " on " + dates_[0] + ")\n"))
      << grab.Err();
  EXPECT_TRUE(Contains(grab.Out(), "notify webhook: not delivered booked " + trains_[0])) << grab.Out();
}

TEST_F(GrabRunTest, TrainsListsTheDaysTrainsWithoutASignIn) {
  Stock(dates_[0], trains_[0], "O", 7);
  GrabProcess table({"trains", "VNP", "shanghaihongqiao", dates_[0], "--service", sim_.BaseUrl()}, "", false);
  EXPECT_EQ(table.Wait(), 0) << table.Err();
  const std::string out = table.Out();
  EXPECT_TRUE(Contains(out, "Trains from 北京南 (VNP) to 上海虹桥 (AOH) on " + dates_[0])) << out;
  EXPECT_TRUE(Contains(out, "二等座 7")) << out;
  EXPECT_TRUE(Contains(out, trains_[1])) << out;
  EXPECT_EQ(CountOf(sim_.Requests(), "/otn/login/"), 0u) << "no sign-in";

  GrabProcess json({"trains", "北京南", "上海虹桥", dates_[0], "--service", sim_.BaseUrl(), "--json"}, "", false);
  EXPECT_EQ(json.Wait(), 0) << json.Err();
  EXPECT_TRUE(Contains(json.Out(), "{\"train\":\"" + trains_[0] + "\",\"from\":\"北京南\"")) << json.Out();
  EXPECT_TRUE(Contains(json.Out(), "\"二等座\":\"7\"")) << json.Out();

  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* says;
  } cases[] = {
      {{"trains", "火星", "上海", dates_[0], "--service", sim_.BaseUrl()}, 2, "from: no station is called \"火星\""},
      {{"trains", "北京", "上海", "2020-01-01", "--service", sim_.BaseUrl()}, 2, "is outside the days on sale"},
      {{"trains", "北京", "上海"}, 2, "trains needs FROM TO DATE"},
      {{"trains", "北京", "上海", dates_[0], "--service", "http://127.0.0.1:1"}, 1, "the query failed"},
  };
  for (const auto& c : cases) {
    GrabProcess bad(c.args, "", false);
    EXPECT_EQ(bad.Wait(), c.exitCode) << c.says << "\n" << bad.Err();
    EXPECT_TRUE(Contains(bad.Err(), c.says)) << bad.Err();
  }
}

// A train the service does not run on any of the wish's dates is told once;
// a wish none of whose trains runs ends, and the run with it (exit 1).
TEST_F(GrabRunTest, TrainsTheServiceDoesNotRunAreToldAndAWishWithoutAnyEnds) {
  const std::string ghost = "G9";  // the sim runs no G9 between these stations
  Stock(dates_[1], trains_[0], "O", 2);
  PlanWishText someRun{{dates_[0], dates_[1]}, {ghost, trains_[0]}};
  PlanWishText noneRuns{{dates_[0]}, {ghost}};
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({someRun, noneRuns})}, "2 7\n");
  EXPECT_EQ(grab.Wait(), 1) << grab.Err();
  const std::string out = grab.Out();
  EXPECT_EQ(CountOf(out, "{\"event\":\"unknown_train\",\"wish\":1,\"train\":\"G9\""), 1u) << out;
  EXPECT_EQ(CountOf(out, "{\"event\":\"unknown_train\",\"wish\":2,\"train\":\"G9\""), 1u) << out;
  EXPECT_TRUE(Contains(out, "{\"event\":\"wish_failed\",\"wish\":2,\"reason\":\"no_train_runs\"")) << out;
  EXPECT_TRUE(Contains(out, "{\"event\":\"booked\",\"wish\":1")) << out;
  // Every line carries its moment in China Standard Time.
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find(",\"at\":\"");
    ASSERT_NE(at, std::string::npos) << line;
    EXPECT_EQ(line.substr(at + 26, 1), ".") << line;
    EXPECT_EQ(line.substr(line.size() - 8), "+08:00\"}") << line;
  }
}

// The plan in docs/ books against quillet-sim as the README starts it (with
// the test's own port).
TEST_F(GrabRunTest, TheRehearsalPlanInDocsBooks) {
  SimProcess readmeSim({"--captcha-cells", "2,7"});
  ASSERT_TRUE(readmeSim.Running());
  std::string plan = ReadFile(QUILLET_SOURCE_DIR "/docs/rehearsal-plan.toml");
  const std::string readmeService = "\"http://127.0.0.1:8080\"";
  ASSERT_TRUE(Contains(plan, "service = " + readmeService));
  plan.replace(plan.find(readmeService), readmeService.size(), "\"" + readmeSim.BaseUrl() + "\"");
  const std::string path = WritePlan({});
  std::ofstream(path) << plan;
  GrabProcess grab({"--captcha-cells", path}, "2,7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Out() << grab.Err();
  EXPECT_TRUE(Contains(grab.Out(), "wish 1: BOOKED ")) << grab.Out();
  EXPECT_FALSE(Contains(grab.Out() + grab.Err(), "ALSA lib")) << grab.Err();
}

// One language per line: English under C.UTF-8, Chinese under zh_CN.UTF-8
// (also where that locale is not generated), never a mix.
TEST_F(GrabRunTest, LinesAreInTheLocalesLanguage) {
  const std::string plan = WritePlan({{{"2020-01-01"}, {trains_[0]}}});
  const struct {
    const char* lang;
    const char* usage;
    const char* planError;
  } cases[] = {
      {"C.UTF-8", "Usage: quillet-grab", "is outside the days on sale"},
      {"zh_CN.UTF-8", "用法：quillet-grab", "不在发售的日期内"},
  };
  for (const auto& c : cases) {
    GrabProcess help({"--help"}, "", false, false, {{"LC_ALL", ""}, {"LANG", c.lang}});
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_TRUE(Contains(help.Out(), c.usage)) << c.lang << "\n" << help.Out();
    GrabProcess bad({"--check", plan}, "", false, false, {{"LC_ALL", ""}, {"LANG", c.lang}});
    EXPECT_EQ(bad.Wait(), 2);
    EXPECT_TRUE(Contains(bad.Err(), c.planError)) << c.lang << "\n" << bad.Err();
  }
}

// The values of one key in the events of a run, in order: "id" of qr_code
// events, say.
std::vector<std::string> EventValues(const std::string& out, const std::string& event, const std::string& key) {
  std::vector<std::string> values;
  const std::string start = "{\"event\":\"" + event + "\"";
  for (std::size_t at = out.find(start); at != std::string::npos; at = out.find(start, at + 1)) {
    const std::size_t lineEnd = out.find('\n', at);
    const std::string line = out.substr(at, lineEnd == std::string::npos ? std::string::npos : lineEnd - at);
    const std::string marker = "\"" + key + "\":\"";
    const std::size_t value = line.find(marker);
    if (value == std::string::npos) continue;
    const std::size_t from = value + marker.size();
    values.push_back(line.substr(from, line.find('"', from) - from));
  }
  return values;
}

const char kQrSignIn[] = "sign_in = \"qr\"\n";

// A QR run: no password, the code scanned through the sim's control endpoint.
class QrGrabRunTest : public GrabRunTest {
 protected:
  explicit QrGrabRunTest(std::vector<std::string> extraSimArgs = {"--session-ttl", "3"})
      : GrabRunTest(std::move(extraSimArgs)) {}

  // Waits for the run's `count`-th code and scans it for demo.
  std::string ScanCode(const GrabProcess& grab, std::size_t count, const std::string& confirm) {
    if (!grab.WaitForOutput("\"event\":\"qr_code\"", count)) {
      ADD_FAILURE() << "no code " << count << "\n" << grab.Out() << grab.Err();
      return {};
    }
    const std::vector<std::string> ids = EventValues(grab.Out(), "qr_code", "id");
    if (ids.size() < count) return {};
    int status = 0;
    const std::string answer = sim_.ScanQrCode(ids[count - 1], "demo", confirm, &status);
    EXPECT_EQ(status, 200) << answer;
    return ids[count - 1];
  }
};

TEST_F(QrGrabRunTest, ConfirmedCodeSignsInWithoutAPasswordAndBooksTheParty) {
  Stock(dates_[0], trains_[0], "O", 2);
  GrabProcess grab({"--json", WritePlan({{{dates_[0]}, {trains_[0]}}}, kQrSignIn)}, "", false);
  ASSERT_TRUE(grab.WaitForOutput("\"event\":\"qr_code\"")) << grab.Err();
  const std::string out = grab.Out();
  const std::vector<std::string> contents = EventValues(out, "qr_code", "content");
  const std::vector<std::string> pictures = EventValues(out, "qr_code", "picture");
  ASSERT_EQ(contents.size(), 1u) << out;
  ASSERT_EQ(pictures.size(), 1u) << out;
  EXPECT_TRUE(Contains(contents[0], EventValues(out, "qr_code", "id")[0])) << out;
  // The picture is the service's, private, in a folder of its own under $XDG_RUNTIME_DIR.
  const std::filesystem::path picture(pictures[0]);
  EXPECT_EQ(picture.parent_path().parent_path(), grab.Folder());
  EXPECT_EQ(std::filesystem::status(picture).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(DecodeQrPicture(ReadFile(pictures[0])), contents[0]);
  EXPECT_TRUE(Contains(grab.Err(), "scan with the railway app and confirm")) << grab.Err();

  ScanCode(grab, 1, "true");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string done = grab.Out();
  EXPECT_TRUE(Contains(done, "{\"event\":\"signed_in\",\"method\":\"qr\",\"at\":")) << done;
  EXPECT_EQ(CountOf(done, "\"event\":\"booked\""), 1u) << done;
  EXPECT_FALSE(std::filesystem::exists(picture.parent_path())) << "the pictures go at exit";
}

TEST_F(QrGrabRunTest, RefusalOnThePhoneEndsWithTheReason) {
  GrabProcess grab({"--json", WritePlan({{{dates_[0]}, {trains_[0]}}}, kQrSignIn)}, "", false);
  ScanCode(grab, 1, "");
  for (auto waited = 0ms; waited < 10s && !Contains(grab.Err(), "scanned;"); waited += 20ms) {
    std::this_thread::sleep_for(20ms);
  }
  const std::string id = EventValues(grab.Out(), "qr_code", "id").at(0);
  EXPECT_TRUE(Contains(sim_.ScanQrCode(id, "demo", "false"), "refused"));
  EXPECT_EQ(grab.Wait(), 1) << grab.Err();
  const std::string err = grab.Err();
  EXPECT_TRUE(Contains(err, "scanned; confirm the sign-in on the phone")) << err;
  EXPECT_TRUE(Contains(err, "the sign-in was refused on the phone: 您已在手机上取消登录")) << err;
  EXPECT_FALSE(Contains(grab.Out(), "signed_in")) << grab.Out();
}

// Two accounts by QR code: both codes are shown at once, side by side under
// their names, before either is scanned; each scanned by its own account
// signs that one in, and both book.
class TwoQrAccountGrabRunTest : public QrGrabRunTest {
 protected:
  TwoQrAccountGrabRunTest() : QrGrabRunTest({"--account", "second:demo1234"}) {}
};

TEST_F(TwoQrAccountGrabRunTest, BothCodesAreShownAtOnceAndEachScanSignsItsAccountIn) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quillet-plan-qr-accounts-" + std::to_string(::getpid()) + ".toml");
  plans_.push_back(path);
  {
    std::ofstream out(path);
    out << "service = \"" << sim_.BaseUrl() << "\"\nservice_hours = \"00:00-00:00\"\n";
    const char* const names[] = {"demo", "second"};
    for (std::size_t a = 0; a < 2; ++a) {
      out << "\n[[account]]\nname = \"" << names[a] << "\"\nsign_in = \"qr\"\n\n[[account.wish]]\nfrom = \"VNP\"\n"
          << "to = \"AOH\"\ndates = [\"" << dates_[a] << "\"]\ntrains = [\"" << trains_[0]
          << "\"]\npassengers = [\"张伟\", \"李娜\"]\nseats = [\"二等座\"]\n";
    }
  }
  for (const std::string& date : dates_) Stock(date, trains_[0], "O", 2);
  GrabProcess grab({"--json", "--no-sound", path.string()}, "", false);
  ASSERT_TRUE(grab.WaitForOutput("\"event\":\"qr_code\"", 2)) << grab.Err();
  const std::vector<std::string> accounts = EventValues(grab.Out(), "qr_code", "account");
  const std::vector<std::string> ids = EventValues(grab.Out(), "qr_code", "id");
  ASSERT_EQ(accounts, (std::vector<std::string>{"demo", "second"})) << grab.Out();
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_TRUE(Contains(grab.Err(), "demo")) << grab.Err();
  EXPECT_TRUE(Contains(grab.Err(), "scan each code with the railway app of the account above it")) << grab.Err();
  // The second account's code first: the order of the scans does not matter.
  for (std::size_t a : {1u, 0u}) {
    int status = 0;
    const std::string answer = sim_.ScanQrCode(ids[a], accounts[a], "true", &status);
    EXPECT_EQ(status, 200) << answer;
  }
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string out = grab.Out();
  for (const std::string& name : accounts) {
    EXPECT_EQ(CountOf(out, "{\"event\":\"signed_in\",\"account\":\"" + name + "\",\"method\":\"qr\""), 1u) << out;
    EXPECT_EQ(CountOf(out, "{\"event\":\"booked\",\"account\":\"" + name + "\""), 1u) << out;
  }
  EXPECT_EQ(EventValues(out, "qr_code", "id").size(), 2u) << "no code was made again";
}

class ShortQrLifeGrabRunTest : public QrGrabRunTest {
 protected:
  ShortQrLifeGrabRunTest() : QrGrabRunTest({"--qr-ttl", "2"}) {}
};

TEST_F(ShortQrLifeGrabRunTest, ExpiredCodeIsReplacedAndTheNewOneSignsIn) {
  Stock(dates_[0], trains_[0], "O", 2);
  GrabProcess grab({"--json", WritePlan({{{dates_[0]}, {trains_[0]}}}, kQrSignIn)}, "", false);
  const std::string second = ScanCode(grab, 2, "true");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::vector<std::string> ids = EventValues(grab.Out(), "qr_code", "id");
  ASSERT_EQ(ids.size(), 2u) << grab.Out();
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_EQ(ids[1], second);
  EXPECT_TRUE(Contains(grab.Err(), "the QR code has expired; here is a new one")) << grab.Err();
  EXPECT_EQ(CountOf(grab.Out(), "\"event\":\"booked\""), 1u) << grab.Out();
}

// China Standard Time this many seconds from now, as a plan's start_at.
std::string ChinaMomentIn(int seconds) {
  const std::time_t at = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() +
                                                              std::chrono::seconds(seconds) + std::chrono::hours(8));
  std::tm fields{};
  gmtime_r(&at, &fields);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
  return text;
}

TEST_F(QrGrabRunTest, LapseWithoutATerminalIsToldWithANewCodeAndTheRunGoesOn) {
  const std::filesystem::path told =
      std::filesystem::temp_directory_path() / ("quillet-told-" + std::to_string(::getpid()) + ".json");
  std::filesystem::remove(told);
  const std::string notify = "[notify]\ncommand = [\"sh\", \"-c\", \"cat >> '" + told.string() + "'\"]\n";
  Stock(dates_[0], trains_[0], "O", 2);
  // The wish waits for its start well past the service's idle time
  // (--session-ttl 3), so the first order finds the sign-in forgotten.
  std::string plan = WritePlan({{{dates_[0]}, {trains_[0]}}}, kQrSignIn + notify);
  {
    std::ofstream out(plan, std::ios::app);
    out << "start_at = \"" << ChinaMomentIn(8) << "\"\n";
  }
  GrabProcess grab({"--json", plan}, "", false);
  ScanCode(grab, 1, "true");
  ASSERT_TRUE(grab.WaitForOutput("\"event\":\"session_lapsed\"")) << grab.Out() << grab.Err();
  const std::string second = ScanCode(grab, 2, "true");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();

  const std::string out = grab.Out();
  const std::vector<std::string> lapseCodes = EventValues(out, "session_lapsed", "qr_content");
  ASSERT_EQ(lapseCodes.size(), 1u) << out;
  EXPECT_TRUE(Contains(lapseCodes[0], second)) << out;
  EXPECT_EQ(EventValues(out, "session_lapsed", "qr_picture").size(), 1u) << out;
  EXPECT_EQ(CountOf(out, "\"event\":\"signed_in\""), 2u) << out;
  EXPECT_EQ(CountOf(out, "\"event\":\"booked\""), 1u) << out;
  // The notifiers carried the code, so a phone can open it from there.
  const std::string delivered = ReadFile(told.string());
  EXPECT_TRUE(Contains(delivered, "\"event\":\"session_lapsed\"")) << delivered;
  EXPECT_TRUE(Contains(delivered, "\"qr_content\":\"" + lapseCodes[0] + "\"")) << delivered;
  std::filesystem::remove(told);
}

// Waitlist orders beside grabbing: a party of two on sold-out trains.
class GrabWaitlistTest : public GrabRunTest {
 protected:
  GrabWaitlistTest() : GrabRunTest({"--account", "face:demo1234:face"}) {}

  // The plan's wishes, each with waitlist = true.
  std::string WaitlistPlan(const std::vector<PlanWishText>& wishes, const std::string& account = "demo") {
    const std::string path = WritePlan({});
    std::ofstream out(path);
    out << "service = \"" << sim_.BaseUrl() << "\"\naccount = \"" << account << "\"\nservice_hours = \"00:00-00:00\"\n";
    for (const PlanWishText& wish : wishes) {
      out << "\n[[wish]]\nfrom = \"VNP\"\nto = \"AOH\"\ndates = " << TomlList(wish.dates)
          << "\ntrains = " << TomlList(wish.trains) << "\npassengers = " << TomlList(wish.passengers)
          << "\nticket_type = \"成人票\"\nseats = " << TomlList(wish.seats) << "\nwaitlist = true\n";
    }
    return path;
  }
  std::string WaitlistStatus() const {
    const std::string state = sim_.State();
    const std::size_t at = state.find("\"waitlist\":[");
    const std::size_t status = state.find("\"status\":\"", at);
    if (at == std::string::npos || status == std::string::npos) return {};
    return state.substr(status + 10, state.find('"', status + 10) - status - 10);
  }
  bool WaitForWaitlistStatus(const std::string& status) const {
    for (auto waited = 0ms; waited < 30s; waited += 50ms) {
      if (WaitlistStatus() == status) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
};

TEST_F(GrabWaitlistTest, ReturnedTicketsFillTheWaitlistOrderAndTheRunEndsBooked) {
  GrabProcess grab({"--json", "--captcha-cells", WaitlistPlan({{{dates_[0]}, {trains_[0], trains_[1]}}})}, "2 7\n");
  ASSERT_TRUE(grab.WaitForOutput("\"event\":\"waitlisted\"")) << grab.Out() << grab.Err();
  EXPECT_EQ(WaitlistStatus(), "waiting") << sim_.State();
  const std::string out = grab.Out();
  EXPECT_TRUE(Contains(out, "\"date\":\"" + dates_[0] + "\",\"choices\":[{\"train\":\"" + trains_[0] +
                                "\",\"seat\":\"二等座\",\"level\":3"))
      << out;

  Stock(dates_[0], trains_[1], "O", 2);  // the service fills the waitlist first
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  EXPECT_EQ(WaitlistStatus(), "filled");
  EXPECT_EQ(Submits(), 0u) << "no grab reached the tickets";
  EXPECT_TRUE(Contains(grab.Out(), "\"train\":\"" + trains_[1] +
                                       "\",\"seat\":\"二等座\",\"passengers\":[\"张伟\",\"李娜\"],\"order_id\":\"E"))
      << grab.Out();
  EXPECT_TRUE(Contains(grab.Out(), "\"via\":\"waitlist\"")) << grab.Out();
}

TEST_F(GrabWaitlistTest, AGrabBookingCancelsTheWaitlistOrderFirst) {
  // The waitlist holds the first date; only grabbing reaches the second.
  GrabProcess grab({"--captcha-cells", WaitlistPlan({{{dates_[0], dates_[1]}, {trains_[0]}}})}, "2 7\n");
  ASSERT_TRUE(grab.WaitForOutput("WAITLISTED on " + dates_[0])) << grab.Out() << grab.Err();
  Stock(dates_[1], trains_[0], "O", 2);
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  EXPECT_EQ(WaitlistStatus(), "cancelled") << sim_.State();
  const std::string out = grab.Out();
  const std::size_t cancelled = out.find(" cancelled");
  const std::size_t booked = out.find("BOOKED " + trains_[0] + " on " + dates_[1]);
  ASSERT_NE(cancelled, std::string::npos) << out;
  ASSERT_NE(booked, std::string::npos) << out;
  EXPECT_LT(cancelled, booked) << out;
}

TEST_F(GrabWaitlistTest, AFaceCheckRefusalLeavesGrabbingToBook) {
  GrabProcess grab({"--json", "--captcha-cells", WaitlistPlan({{{dates_[0]}, {trains_[0]}}}, "face")}, "2 7\n");
  ASSERT_TRUE(grab.WaitForOutput("\"event\":\"waitlist_refused\",\"wish\":1,\"reason\":\"您的身份信息需要完成人脸核验"))
      << grab.Out() << grab.Err();
  Stock(dates_[0], trains_[0], "O", 2);
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  EXPECT_EQ(CountOf(grab.Out(), "\"event\":\"waitlist_refused\""), 1u) << grab.Out();
  EXPECT_TRUE(Contains(grab.Out(), "\"event\":\"booked\"")) << grab.Out();
  EXPECT_FALSE(Contains(grab.Out(), "\"via\":\"waitlist\"")) << grab.Out();
  EXPECT_EQ(WaitlistStatus(), "");
}

TEST_F(GrabWaitlistTest, ASecondWaitlistWishOfTheAccountIsToldItCannotHoldOne) {
  GrabProcess grab({"--json", "--captcha-cells",
                    WaitlistPlan({{{dates_[0]}, {trains_[0]}}, {{dates_[1]}, {trains_[1]}, {"王晓明"}}})},
                   "2 7\n");
  ASSERT_TRUE(grab.WaitForOutput("\"event\":\"waitlisted\",\"wish\":1")) << grab.Out() << grab.Err();
  EXPECT_TRUE(Contains(grab.Out(),
                       "\"event\":\"waitlist_refused\",\"wish\":2,\"reason\":\"the account can hold one "
                       "waitlist order at a time"))
      << grab.Out();
  grab.Signal(SIGTERM);
  EXPECT_EQ(grab.Wait(), 3) << grab.Err();
  EXPECT_EQ(CountOf(sim_.State(), "\"reserveNo\""), 1u) << sim_.State();
}

// The service as it behaves: a moved query path, throttling, the account's
// budget and closed hours.

// Arrival times (ms since the sim started) of its left-ticket queries, at
// whichever path, and how many went to the throttling error page.
struct QueryLog {
  std::vector<long long> times;
  std::size_t errorPages = 0;
};
QueryLog QueriesIn(const std::string& requests) {
  QueryLog log;
  for (std::size_t at = requests.find("{\"t\":"); at != std::string::npos; at = requests.find("{\"t\":", at + 1)) {
    const std::size_t end = requests.find("{\"t\":", at + 1);
    const std::string entry = requests.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (Contains(entry, "\"path\":\"" + std::string(service_paths::kLeftTicketQuery)))
      log.times.push_back(std::atoll(entry.c_str() + 5));
    if (Contains(entry, "\"path\":\"/otn/view/error.html\"")) ++log.errorPages;
  }
  return log;
}
// The most queries that arrived within any one second.
std::size_t MostInASecond(const std::vector<long long>& times) {
  std::size_t most = 0;
  for (std::size_t i = 0; i < times.size(); ++i) {
    std::size_t in = 0;
    for (std::size_t j = i; j < times.size() && times[j] - times[i] < 1000; ++j) ++in;
    most = std::max(most, in);
  }
  return most;
}

class MovedPathGrabRunTest : public GrabRunTest {
 protected:
  MovedPathGrabRunTest() : GrabRunTest({"--query-path", "leftTicket/queryZ"}) {}
};

TEST_F(MovedPathGrabRunTest, TheRunFollowsAMovedQueryPathAfterOneRedirectAnswerAndBooks) {
  Stock(dates_[1], trains_[0], "O", 2);
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({{dates_, {trains_[0]}}})}, "2 7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string out = grab.Out();
  const std::string moved = std::string(service_paths::kLeftTicketQuery) + "Z";
  EXPECT_EQ(CountOf(out, "\"event\":\"query_path_moved\",\"path\":\"" + moved + "\""), 1u) << out;
  EXPECT_EQ(CountOf(out, "\"event\":\"booked\""), 1u) << out;
  const std::string requests = sim_.Requests();
  // One redirect answer for the fixture's own client, one for the run.
  EXPECT_EQ(CountOf(requests, "\"path\":\"" + std::string(service_paths::kLeftTicketQuery) + "\""), 2u) << requests;
  EXPECT_GE(CountOf(requests, "\"path\":\"" + moved + "\""), 2u);
}

class ThrottlingGrabRunTest : public GrabRunTest {
 protected:
  ThrottlingGrabRunTest() : GrabRunTest({"--throttle", "3"}) {}
};

TEST_F(ThrottlingGrabRunTest, ABudgetAtTheLimitHoldsItAndIsNeverThrottled) {
  // Three wishes with two dates each share three queries a second.
  const std::vector<PlanWishText> wishes = {{dates_, {trains_[0]}}, {dates_, {trains_[1]}}, {dates_, {trains_[0]}}};
  GrabProcess grab({"--json", "--captcha-cells", WritePlan(wishes, "max_queries_per_second = 3\n")}, "2 7\n");
  ASSERT_TRUE(grab.WaitForPasses(6)) << grab.Err();
  std::this_thread::sleep_for(4s);
  grab.Signal(SIGTERM);
  grab.Wait();
  QueryLog log = QueriesIn(sim_.Requests());
  ASSERT_GE(log.times.size(), 12u);
  log.times.erase(log.times.begin());  // the fixture's own query
  EXPECT_LE(MostInASecond(log.times), 3u);
  const double seconds = static_cast<double>(log.times.back() - log.times.front()) / 1000.0;
  EXPECT_GE(static_cast<double>(log.times.size() - 1) / seconds, 3 * 0.95 * 0.95) << "close to the budget";
  EXPECT_EQ(log.errorPages, 0u);
  EXPECT_FALSE(Contains(grab.Out(), "\"event\":\"throttled\"")) << grab.Out();
}

TEST_F(ThrottlingGrabRunTest, ABudgetAboveTheLimitIsThrottledBacksOffOnceAndStillBooks) {
  Stock(dates_[0], trains_[0], "O", 2);
  const std::string plan = WritePlan({{dates_, {trains_[1]}}}, "max_queries_per_second = 8\n");
  GrabProcess grab({"--json", "--captcha-cells", plan}, "2 7\n");
  ASSERT_TRUE(grab.WaitForOutput("\"event\":\"throttled\"")) << grab.Out() << grab.Err();
  // Tickets of the wanted train come while backing off; the run books once answers are normal.
  Stock(dates_[0], trains_[1], "O", 2);
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string out = grab.Out();
  const std::size_t episodes = CountOf(out, "\"event\":\"throttled\"");
  EXPECT_GE(episodes, 1u);
  EXPECT_GE(CountOf(out, "\"event\":\"throttle_ended\""), episodes - 1) << out;
  EXPECT_LE(CountOf(out, "\"event\":\"throttle_ended\""), episodes) << "told once each: " << out;
  EXPECT_EQ(CountOf(out, "\"event\":\"booked\""), 1u) << out;
}

// "HH:MM" China Standard Time of a Unix time in ms.
std::string ChinaClock(long long unixMs) {
  const std::time_t t = static_cast<std::time_t>(unixMs / 1000) + 8 * 3600;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[8];
  std::strftime(text, sizeof text, "%H:%M", &tm);
  return text;
}

long long UnixMsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The service opens at the start of a minute a minute or two from now; its
// clock runs so far ahead of this machine's that the opening is 15 s away.
struct Opening {
  long long openingMs;  // on the service's clock
  long long shiftMs;
  std::string hours;
};
Opening OpeningSoon() {
  const long long now = UnixMsNow();
  const long long opening = (now / 60000 + 2) * 60000;
  const long long shift = opening - 15000 - now;
  return {opening, shift, ChinaClock(opening) + "-" + ChinaClock(opening + 12 * 3600 * 1000LL)};
}

class ClosedHoursGrabRunTest : public GrabRunTest {
 protected:
  ClosedHoursGrabRunTest()
      : GrabRunTest({"--hours", opening_.hours, "--clock-shift-ms", std::to_string(opening_.shiftMs)}) {}
  static inline Opening opening_ = OpeningSoon();
};

TEST_F(ClosedHoursGrabRunTest, ARunStartedWhileClosedSendsNothingUntilTheOpeningAndBooksAfterIt) {
  Stock(dates_[0], trains_[0], "O", 2);
  const std::string plan = WritePlan({{{dates_[0]}, {trains_[0]}}}, "service_hours = \"" + opening_.hours + "\"\n");
  GrabProcess grab({"--json", "--captcha-cells", plan}, "2 7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string out = grab.Out();
  EXPECT_EQ(CountOf(out, "\"event\":\"service_closed\""), 1u) << out;
  EXPECT_TRUE(Contains(out, "\"until\":\"" + opening_.hours.substr(0, 5) + "\"")) << out;
  const std::string requests = sim_.Requests();
  std::vector<long long> queryArrivals;  // the machine's clock
  const std::string queryField = "\"path\":\"" + std::string(service_paths::kLeftTicketQuery);
  for (std::size_t at = requests.find("\"unix_ms\":"); at != std::string::npos;
       at = requests.find("\"unix_ms\":", at + 1)) {
    const std::size_t path = requests.find("\"path\":", at);
    if (requests.compare(path, queryField.size(), queryField) == 0) {
      queryArrivals.push_back(std::atoll(requests.c_str() + at + 10));
    }
  }
  ASSERT_GE(queryArrivals.size(), 2u);
  queryArrivals.erase(queryArrivals.begin());  // the fixture's own query
  // On the service's clock: none before the opening, the first just after it.
  const long long first = queryArrivals.front() + opening_.shiftMs;
  EXPECT_GE(first, opening_.openingMs);
  EXPECT_LT(first, opening_.openingMs + 1000);
}

// The departure station opens its sale at the start of a minute a minute or
// two from now; the service's clock runs so far ahead of this machine's that
// the opening is 20 s away. The travel date is the last of the 15 days on sale.
Opening StationOpeningSoon() {
  const long long now = UnixMsNow();
  const long long opening = (now / 60000 + 2) * 60000;
  return {opening, opening - 20000 - now, ChinaClock(opening)};
}

class StationSaleGrabRunTest : public GrabRunTest {
 protected:
  StationSaleGrabRunTest()
      : GrabRunTest({"--station-sale", "VNP@" + opening_.hours, "--presale-days", "15", "--clock-shift-ms",
                     std::to_string(opening_.shiftMs)}) {}
  // yyyy-MM-dd, China Standard Time, of the opening's day plus `days`.
  static std::string DateAfterOpening(int days) {
    const std::time_t t = static_cast<std::time_t>(opening_.openingMs / 1000) + 8 * 3600 + days * 86400;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
  }
  static inline Opening opening_ = StationOpeningSoon();  // `hours` holds the station's time
};

TEST_F(StationSaleGrabRunTest, TheFirstQueryComesJustAfterTheStationsOpeningAndNoneBefore) {
  const std::string date = DateAfterOpening(14);
  Stock(date, trains_[0], "O", 2);
  PlanWishText wish{{date}, {trains_[0]}};
  wish.extraKeys = "start_at = \"sale\"\n";
  const std::string plan = WritePlan({wish});

  GrabProcess check({"--check", plan}, "");
  ASSERT_EQ(check.Wait(), 0) << check.Err();
  EXPECT_TRUE(Contains(check.Out(), date + " at 北京南 (VNP): on sale from " + DateAfterOpening(0) + " " +
                                        opening_.hours + ":00.000 (China Standard Time)"))
      << check.Out();

  GrabProcess grab({"--json", "--captcha-cells", plan}, "2 7\n");
  EXPECT_EQ(grab.Wait(), 0) << grab.Err();
  const std::string out = grab.Out();
  EXPECT_TRUE(Contains(out, "\"event\":\"sale_opening\",\"wish\":1,\"date\":\"" + date +
                                "\",\"station\":\"北京南\",\"telecode\":\"VNP\",\"opens\":\"" + DateAfterOpening(0) +
                                "T" + opening_.hours + ":00.000+08:00\""))
      << out;
  EXPECT_EQ(CountOf(out, "\"event\":\"booked\""), 1u) << out;
  EXPECT_EQ(CountOf(sim_.Requests(), Quoted(service_paths::kStationSaleTimes)), 2u) << "once per run";
  const std::string requests = sim_.Requests();
  std::vector<long long> queryArrivals;  // the machine's clock
  for (std::size_t at = requests.find("\"unix_ms\":"); at != std::string::npos;
       at = requests.find("\"unix_ms\":", at + 1)) {
    const std::size_t path = requests.find("\"path\":", at);
    const std::size_t query = requests.find("\"query\":", at);
    if (requests.compare(path, 29, "\"path\":\"/otn/leftTicket/query") == 0 &&
        requests.compare(query + 9, 35, "leftTicketDTO.train_date=" + date) == 0) {
      queryArrivals.push_back(std::atoll(requests.c_str() + at + 10));
    }
  }
  ASSERT_FALSE(queryArrivals.empty());
  // On the service's clock: none before the opening, the first just after it.
  const long long first = queryArrivals.front() + opening_.shiftMs;
  EXPECT_GE(first, opening_.openingMs);
  EXPECT_LT(first, opening_.openingMs + 1000);
}

class ClosedNowGrabRunTest : public GrabRunTest {
 protected:
  ClosedNowGrabRunTest()
      : GrabRunTest(
            {"--hours", ChinaClock(UnixMsNow() + 3 * 3600000LL) + "-" + ChinaClock(UnixMsNow() + 4 * 3600000LL)}) {}
};

TEST_F(ClosedNowGrabRunTest, AClosedHoursRefusalWhileBelievedOpenPausesTheWorkers) {
  Stock(dates_[0], trains_[0], "O", 2);
  GrabProcess grab({"--json", "--captcha-cells", WritePlan({{{dates_[0]}, {trains_[0]}}})}, "2 7\n");
  ASSERT_TRUE(grab.WaitForOutput("\"told_by_service\":true")) << grab.Out() << grab.Err();
  const std::size_t queries = QueriesIn(sim_.Requests()).times.size();
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(QueriesIn(sim_.Requests()).times.size(), queries) << "paused until the next opening";
  grab.Signal(SIGTERM);
  EXPECT_EQ(grab.Wait(), 3);
  EXPECT_EQ(CountOf(grab.Out(), "\"event\":\"service_closed\""), 1u) << grab.Out();
}
}  // namespace
}  // namespace quillet::test
