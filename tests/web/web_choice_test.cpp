// How quillet-grab is told to serve its page (--web, the plan's [web]) and
// how a captcha answer from the page reaches the terminal sign-in.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/captcha_answer.h"
#include "cli/command_line.h"
#include "cli/interruptible_input.h"
#include "cli/plan_reader.h"
#include "cli/plan_summary.h"
#include "cli/web_page.h"
#include "stations/station_directory.h"

namespace quillet::cli {
namespace {

TEST(WebOptions, TheCommandLineNamesThePageAndItsTls) {
  const CommandLineResult all = ParseCommandLine(
      {"--web", "0.0.0.0:8765", "--web-insecure", "--web-cert", "c.pem", "--web-key", "k.pem", "trip.toml"});
  ASSERT_TRUE(all.line) << all.error;
  EXPECT_EQ(all.line->web, "0.0.0.0:8765");
  EXPECT_TRUE(all.line->webInsecure);
  EXPECT_EQ(all.line->webCert, "c.pem");
  EXPECT_EQ(all.line->webKey, "k.pem");
  for (const char* option : {"--web", "--web-cert", "--web-key"}) {
    EXPECT_FALSE(ParseCommandLine({"trip.toml", option}).line) << option;
  }
  EXPECT_NE(UsageText().find("--web [ADDRESS:]PORT"), std::string::npos);
}

const std::chrono::sys_days kToday{std::chrono::year(2026) / 12 / 10};
const char kWish[] = R"(
[[wish]]
from = "北京"
to = "上海"
dates = ["2026-12-20"]
trains = ["G101"]
passengers = ["张伟"]
ticket_type = "成人票"
seats = ["二等座"]
)";

PlanReading ReadWithWeb(const std::string& web, const std::string& path) {
  static const StationDirectory stations = [] {
    StationDirectory d;
    d.LoadStations();
    return d;
  }();
  return ReadPlanText("account = \"demo\"\n" + web + kWish, path, stations, kToday);
}

TEST(WebOptions, ThePlansWebTableNamesAnAddressAndFilesBesideThePlan) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillet-web-plan-test";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "page.pem") << "x";
  std::ofstream(folder / "page.key") << "x";
  const std::string plan = (folder / "trip.toml").string();

  const PlanReading good =
      ReadWithWeb("[web]\nlisten = \"0.0.0.0:8765\"\ncert = \"page.pem\"\nkey = \"page.key\"\n", plan);
  ASSERT_TRUE(good.Ok()) << DescribePlanError(good.errors[0]);
  EXPECT_EQ(good.plan.web.listen, "0.0.0.0:8765");
  EXPECT_EQ(good.plan.web.cert, (folder / "page.pem").string());
  EXPECT_EQ(good.plan.web.key, (folder / "page.key").string());
  const std::string summary = DescribePlan(good.plan);
  EXPECT_NE(summary.find("Page\n  listen       0.0.0.0:8765\n  cert         " + (folder / "page.pem").string() + "\n"),
            std::string::npos)
      << summary;

  struct Case {
    const char* web;
    const char* error;
  };
  const Case bad[] = {
      {"web = \"8765\"\n", "web must be written as a [web] table"},
      {"[web]\nlisten = \"example.com:80\"\n", "web: listen must be [ADDRESS:]PORT"},
      {"[web]\nlisten = 8765\n", "web: listen"},
      {"[web]\nlisten = \"8765\"\ncert = \"page.pem\"\n", "web: cert and key go together"},
      {"[web]\nlisten = \"8765\"\ncert = \"absent.pem\"\nkey = \"page.key\"\n", "absent.pem"},
      {"[web]\nport = 8765\n", "port"},
  };
  for (const Case& c : bad) {
    const PlanReading reading = ReadWithWeb(c.web, plan);
    ASSERT_FALSE(reading.Ok()) << c.web;
    EXPECT_NE(DescribePlanError(reading.errors[0]).find(c.error), std::string::npos)
        << c.web << DescribePlanError(reading.errors[0]);
  }
  std::filesystem::remove_all(folder);
}

TEST(WebOptions, OffLoopbackThePageNeedsTlsOrAnExplicitInsecureAndHasAToken) {
  struct Case {
    std::vector<std::string> args;
    const char* planListen;
    const char* environmentToken;
    bool served;
    bool error;
    bool token;
    bool warning;
  };
  const Case cases[] = {
      {{"p.toml"}, "", nullptr, false, false, false, false},
      {{"--web", "8765", "p.toml"}, "", nullptr, true, false, false, false},
      {{"p.toml"}, "127.0.0.1:8765", nullptr, true, false, false, false},
      {{"--web", "0.0.0.0:8765", "p.toml"}, "", nullptr, false, true, false, false},
      {{"--web", "0.0.0.0:8765", "--web-insecure", "p.toml"}, "", nullptr, true, false, true, true},
      {{"--web", "0.0.0.0:8765", "--web-cert", "c", "--web-key", "k", "p.toml"}, "", nullptr, true, false, true, false},
      {{"--web", "0.0.0.0:8765", "--web-cert", "c", "p.toml"}, "", nullptr, false, true, false, false},
      {{"--web", "0.0.0.0:8765", "--web-insecure", "p.toml"}, "", "bad token", false, true, false, false},
      {{"--web", "nonsense", "p.toml"}, "", nullptr, false, true, false, false},
  };
  for (const Case& c : cases) {
    const CommandLine line = *ParseCommandLine(c.args).line;
    Plan plan;
    plan.web.listen = c.planListen;
    const WebPageChoice choice = ChooseWebPage(line, plan, c.environmentToken);
    const std::string name = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
    EXPECT_EQ(choice.settings.has_value(), c.served) << name;
    EXPECT_EQ(!choice.error.empty(), c.error) << name << choice.error;
    EXPECT_EQ(!choice.warning.empty(), c.warning) << name;
    if (choice.settings) {
      EXPECT_EQ(choice.settings->token.size() == 32, c.token) << name;
    }
  }
  const CommandLine insecure = *ParseCommandLine({"--web", "0.0.0.0:1", "--web-insecure", "p.toml"}).line;
  EXPECT_EQ(ChooseWebPage(insecure, Plan{}, "given-token-0123456789").settings->token, "given-token-0123456789");
}

TEST(WebAnswers, ALineFromEitherSourceIsReadAndTheEndOfOneLeavesTheOther) {
  int terminal[2];
  int page[2];
  ASSERT_EQ(::pipe(terminal), 0);
  ASSERT_EQ(::pipe(page), 0);
  InterruptibleInput answers(terminal[0], -1, page[0]);
  std::string line;
  ASSERT_EQ(::write(page[1], "2,7\n", 4), 4);
  ASSERT_TRUE(std::getline(answers, line));
  EXPECT_EQ(line, "2,7");
  ASSERT_EQ(::write(terminal[1], "1 5\n", 4), 4);
  ASSERT_TRUE(std::getline(answers, line));
  EXPECT_EQ(line, "1 5");
  ::close(terminal[1]);  // the terminal's input ends; the page still answers
  ASSERT_EQ(::write(page[1], "3\n", 2), 2);
  ASSERT_TRUE(std::getline(answers, line));
  EXPECT_EQ(line, "3");
  EXPECT_EQ(ParseCaptchaCells("2,7"), (std::vector<int>{2, 7}));  // the page's form is the terminal's
  ::close(page[1]);
  EXPECT_FALSE(std::getline(answers, line));
  for (const int fd : {terminal[0], page[0]}) ::close(fd);
}

}  // namespace
}  // namespace quillet::cli
