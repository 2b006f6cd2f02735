// The command line and the clock title.
#include <QDateTime>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "ui/query_page.h"
#include "window_fixture.h"

namespace quillet::test {
namespace {

TEST(CommandLineTest, ReadsTheServiceAndCertificateOptions) {
  struct Case {
    std::vector<std::string> args;
    CommandLine::Action action;
    std::string service;
    std::string caFile;
  };
  const Case cases[] = {
      {{}, CommandLine::Action::Run, kRealServiceAddress, ""},
      {{"--service", "http://127.0.0.1:8080"}, CommandLine::Action::Run, "http://127.0.0.1:8080", ""},
      {{"--service", "https://example.test//"}, CommandLine::Action::Run, "https://example.test", ""},
      {{"--ca-file", "/tmp/ca.pem", "--service", "https://h"}, CommandLine::Action::Run, "https://h", "/tmp/ca.pem"},
      {{"--help"}, CommandLine::Action::Help, kRealServiceAddress, ""},
      {{"--service", "http://x", "-h"}, CommandLine::Action::Help, "http://x", ""},
      {{"--service", "http://x", "--version"}, CommandLine::Action::Version, "http://x", ""},
      {{"--service"}, CommandLine::Action::Error, kRealServiceAddress, ""},
      {{"--service", "127.0.0.1:8080"}, CommandLine::Action::Error, "127.0.0.1:8080", ""},
      {{"--verbose"}, CommandLine::Action::Error, kRealServiceAddress, ""},
      {{"--ca-file", ""}, CommandLine::Action::Error, kRealServiceAddress, ""},
      // Qt's own options are left to Qt, with their values.
      {{"-platform", "xcb", "-style", "fusion", "--service", "http://s", "-reverse"},
       CommandLine::Action::Run,
       "http://s",
       ""},
      {{"-display", ":1", "-qwindowgeometry", "992x542+0+0", "-style=fusion", "--platform", "offscreen"},
       CommandLine::Action::Run,
       kRealServiceAddress,
       ""},
      {{"-qwindowtitle", "--help"}, CommandLine::Action::Run, kRealServiceAddress, ""},  // a title, not ours
      {{"-platform", "offscreen", "--help"}, CommandLine::Action::Help, kRealServiceAddress, ""},
      {{"-platform", "offscreen", "-bogus"}, CommandLine::Action::Error, kRealServiceAddress, ""},
      {{"-"}, CommandLine::Action::Error, kRealServiceAddress, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.action, c.action);
    if (c.action == CommandLine::Action::Error) {
      EXPECT_FALSE(line.error.empty());
      continue;
    }
    if (c.action == CommandLine::Action::Run) {
      EXPECT_EQ(line.settings.service.address, c.service);
      EXPECT_EQ(line.settings.service.caFile, c.caFile);
    }
  }
  EXPECT_NE(HelpText("quillet").find("--service URL"), std::string::npos);
}

TEST(CommandLineTest, ReadsTheNotificationOptions) {
  const CommandLine plain = ParseCommandLine({});
  EXPECT_TRUE(plain.settings.notify.sound);
  EXPECT_TRUE(plain.settings.notify.webhookUrl.empty());
  const CommandLine told = ParseCommandLine({"--no-sound", "--notify-url", "https://push.example/t?k=1"});
  ASSERT_EQ(told.action, CommandLine::Action::Run);
  EXPECT_FALSE(told.settings.notify.sound);
  EXPECT_EQ(told.settings.notify.webhookUrl, "https://push.example/t?k=1");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--notify-url"}, {"--notify-url", ""}, {"--notify-url", "push.example/t"}}) {
    const CommandLine line = ParseCommandLine(args);
    EXPECT_EQ(line.action, CommandLine::Action::Error) << args.back();
    EXPECT_FALSE(line.error.empty());
  }
  EXPECT_EQ(ParseCommandLine({"--notify-url", "ftp://x"}).error, "--notify-url needs an http:// or https:// address");
}

TEST(ClockTitleTest, ShowsTheTimeUpToItsLastNonZeroUnit) {
  const QString prefix = QStringLiteral(u"Quillet 当前版本：V1.0           ");
  const std::pair<QDateTime, const char16_t*> cases[] = {
      {QDateTime(QDate(2016, 3, 5), QTime(9, 30, 7)), u"2016年3月5日9时30分7秒"},
      {QDateTime(QDate(2016, 3, 5), QTime(10, 0, 0)), u"2016年3月5日10时"},
      {QDateTime(QDate(2016, 3, 5), QTime(10, 5, 0)), u"2016年3月5日10时5分"},
      {QDateTime(QDate(2016, 3, 5), QTime(10, 0, 5)), u"2016年3月5日10时0分5秒"},
      {QDateTime(QDate(2016, 12, 25), QTime(0, 0, 0)), u"2016年12月25日"},
      {QDateTime(QDate(2016, 12, 25), QTime(0, 0, 1)), u"2016年12月25日0时0分1秒"},
  };
  for (const auto& [moment, text] : cases) EXPECT_EQ(ClockTitle(moment), prefix + QString::fromUtf16(text));
}

class ClockTest : public WindowTest {};

TEST_F(ClockTest, TitleFollowsTheClockEverySecond) {
  Open();
  ASSERT_TRUE(WaitFor([this] { return window_->windowTitle() != QStringLiteral(u"Quillet 当前版本：V1.0"); }, 3000));
  const QString title = window_->windowTitle();
  EXPECT_TRUE(title.startsWith(QStringLiteral(u"Quillet 当前版本：V1.0           ") +
                               QString::number(QDate::currentDate().year()) + QStringLiteral(u"年")))
      << title.toStdString();
}

}  // namespace
}  // namespace quillet::test
