// The command notifier: the JSON on the program's standard input, its exit
// status, and programs that hang or do not read.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "notify/command_notifier.h"
#include "notify/event_json.h"
#include "scripted_notifier.h"
#include "util/codepage.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

DeliveryResult RunCommand(std::vector<std::string> argv, const NotifyEvent& event = SampleBooking(),
                          std::chrono::milliseconds limit = 10s, std::stop_token stop = {}) {
  CommandOptions options;
  options.argv = std::move(argv);
  options.timeLimit = limit;
  return CommandNotifier(options).Deliver(event, stop);
}

bool NoChildLeft() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST(CommandNotifier, TheProgramReadsTheJsonOnItsStandardInput) {
  const std::string file = std::filesystem::temp_directory_path() / ("quillet-command-" + std::to_string(::getpid()));
  const NotifyEvent event = SampleBooking();
  // The argument is handed to sh as it is; no shell of ours splits anything.
  EXPECT_EQ(RunCommand({"/bin/sh", "-c", "cat > \"$0\"", file}, event).outcome, DeliveryOutcome::kDelivered);
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), EventJson(event) + "\n");
  std::filesystem::remove(file);
  EXPECT_TRUE(NoChildLeft());
}

TEST(CommandNotifier, TheProgramGetsTheEnvironmentWithoutTheProgramsSecrets) {
  const std::string file =
      std::filesystem::temp_directory_path() / ("quillet-command-env-" + std::to_string(::getpid()));
  for (const char* secret : {"QUILLET_PASSWORD", "QUILLET_WEB_TOKEN", "QUILLET_REDIS_PASSWORD"}) {
    ::setenv(secret, "s3cret", 1);
  }
  ::setenv("QUILLET_TEST_KEPT", "kept", 1);
  ::setenv("QUILLET_PASSWORD_HINT", "kept too", 1);  // only exact names are withheld
  EXPECT_EQ(RunCommand({"/bin/sh", "-c", "env > \"$0\"", file}).outcome, DeliveryOutcome::kDelivered);
  for (const char* variable : {"QUILLET_PASSWORD", "QUILLET_WEB_TOKEN", "QUILLET_REDIS_PASSWORD", "QUILLET_TEST_KEPT",
                               "QUILLET_PASSWORD_HINT"}) {
    ::unsetenv(variable);
  }
  std::ifstream in(file);
  const std::string environment(std::istreambuf_iterator<char>(in), {});
  std::filesystem::remove(file);
  EXPECT_EQ(environment.find("s3cret"), std::string::npos) << environment;
  EXPECT_NE(environment.find("QUILLET_TEST_KEPT=kept\n"), std::string::npos) << environment;
  EXPECT_NE(environment.find("QUILLET_PASSWORD_HINT=kept too\n"), std::string::npos) << environment;
  EXPECT_NE(environment.find("PATH="), std::string::npos) << environment;
}

TEST(CommandNotifier, ReportsHowTheProgramEnded) {
  const struct {
    const char* name;
    std::vector<std::string> argv;
    DeliveryOutcome outcome;
    std::string detail;
    DeliveryFailure::Kind kind;  // what a front end words
    long number;
  } cases[] = {
      {"exit status",
       {"/bin/sh", "-c", "exit 3"},
       DeliveryOutcome::kFailed,
       Gbk(u8"退出码 3"),
       DeliveryFailure::Kind::kExitStatus,
       3},
      {"killed",
       {"/bin/sh", "-c", "kill -9 $$"},
       DeliveryOutcome::kFailed,
       Gbk(u8"被信号终止：9"),
       DeliveryFailure::Kind::kKilledBySignal,
       9},
      {"not found on PATH",
       {"quillet-no-such-program"},
       DeliveryOutcome::kFailed,
       Gbk(u8"无法启动：") + "No such file or directory",
       DeliveryFailure::Kind::kCannotStart,
       0},
      {"found on PATH", {"true"}, DeliveryOutcome::kDelivered, "", DeliveryFailure::Kind::kNone, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const DeliveryResult result = RunCommand(c.argv);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.detail, c.detail);
    EXPECT_EQ(result.failure.kind, c.kind);
    EXPECT_EQ(result.failure.number, c.number);
  }
  EXPECT_TRUE(NoChildLeft());
}

TEST(CommandNotifier, AProgramThatIgnoresItsInputDoesNotHurtUs) {
  NotifyEvent big = SampleBooking();
  big.passengers.assign(1, std::string(1 << 20, 'x'));  // more than a pipe holds
  EXPECT_EQ(RunCommand({"/bin/sh", "-c", "exit 0"}, big).outcome, DeliveryOutcome::kDelivered);
  EXPECT_TRUE(NoChildLeft());
}

TEST(CommandNotifier, AHangingProgramIsKilledAtTheLimitOrOnStop) {
  auto start = std::chrono::steady_clock::now();
  DeliveryResult result = RunCommand({"/bin/sh", "-c", "sleep 30; true"}, SampleBooking(), 300ms);
  EXPECT_EQ(result.outcome, DeliveryOutcome::kFailed);
  EXPECT_EQ(result.detail, Gbk(u8"超时，已终止"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_TRUE(NoChildLeft());

  std::stop_source stop;
  std::jthread stopper([&] {
    std::this_thread::sleep_for(200ms);
    stop.request_stop();
  });
  start = std::chrono::steady_clock::now();
  result = RunCommand({"/bin/sh", "-c", "sleep 30; true"}, SampleBooking(), 60s, stop.get_token());
  EXPECT_EQ(result.outcome, DeliveryOutcome::kFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace quillet::test
