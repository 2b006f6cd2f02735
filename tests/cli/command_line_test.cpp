#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace quillet::cli {
namespace {

TEST(CommandLine, ReadsModesOptionsAndThePlan) {
  using Mode = CommandLine::Mode;
  struct Case {
    std::vector<std::string> args;
    std::optional<Mode> mode;  // nothing: a usage error
    std::string plan;
    bool json = false, cells = false, noSound = false;
    std::string fleet = {}, sourceAddress = {};
  };
  const Case cases[] = {
      {{"trip.toml"}, Mode::kRun, "trip.toml"},
      {{"--json", "--captcha-cells", "--no-sound", "trip.toml"}, Mode::kRun, "trip.toml", true, true, true},
      {{"--check", "trip.toml"}, Mode::kCheck, "trip.toml"},
      {{"--", "--odd-name.toml"}, Mode::kRun, "--odd-name.toml"},
      {{"--help", "--bogus"}, Mode::kHelp, ""},
      {{"--version"}, Mode::kVersion, ""},
      {{"--fleet", "redis://r:6379/1", "--source-address", "127.0.0.2", "trip.toml"},
       Mode::kRun,
       "trip.toml",
       false,
       false,
       false,
       "redis://r:6379/1",
       "127.0.0.2"},
      {{"--fleet-status", "trip.toml", "--fleet", "redis://r"},
       Mode::kFleetStatus,
       "trip.toml",
       false,
       false,
       false,
       "redis://r"},
      {{"--fleet"}, std::nullopt, ""},
      {{"--fleet-status"}, std::nullopt, ""},
      {{}, std::nullopt, ""},
      {{"--check"}, std::nullopt, ""},
      {{"a.toml", "b.toml"}, std::nullopt, ""},
      {{"--bogus", "a.toml"}, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    const CommandLineResult result = ParseCommandLine(c.args);
    const std::string name = c.args.empty() ? "(none)" : c.args[0];
    ASSERT_EQ(result.line.has_value(), c.mode.has_value()) << name;
    if (!result.line) {
      EXPECT_FALSE(result.error.empty()) << name;
      continue;
    }
    EXPECT_EQ(result.line->mode, *c.mode) << name;
    EXPECT_EQ(result.line->planPath, c.plan) << name;
    EXPECT_EQ(result.line->json, c.json) << name;
    EXPECT_EQ(result.line->captchaCells, c.cells) << name;
    EXPECT_EQ(result.line->noSound, c.noSound) << name;
    EXPECT_EQ(result.line->fleet, c.fleet) << name;
    EXPECT_EQ(result.line->sourceAddress, c.sourceAddress) << name;
  }
}

}  // namespace
}  // namespace quillet::cli
