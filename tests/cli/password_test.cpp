// The password: from the environment, or typed on a terminal without echo.
#include "cli/password.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace quillet::cli {
namespace {

TEST(Password, TheEnvironmentComesFirst) {
  const PasswordResult result = ReadPassword("s3cret", "demo", "/nonexistent/tty");
  ASSERT_TRUE(result.password);
  EXPECT_EQ(*result.password, "s3cret");
}

TEST(Password, NoVariableAndNoTerminalIsAClearError) {
  for (const char* value : {static_cast<const char*>(nullptr), ""}) {
    const PasswordResult result = ReadPassword(value, "demo", "/nonexistent/tty");
    EXPECT_FALSE(result.password);
    EXPECT_NE(result.error.find("QUILLET_PASSWORD"), std::string::npos) << result.error;
  }
}

// Everything the pseudo-terminal's master side can read within a short while.
std::string Drain(int master, int waitMs) {
  std::string out;
  pollfd p{master, POLLIN, 0};
  while (::poll(&p, 1, waitMs) > 0 && (p.revents & POLLIN)) {
    char buf[256];
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

TEST(Password, TypedOnTheTerminalWithoutEcho) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);

  auto reading = std::async(std::launch::async, [&] { return ReadPassword(nullptr, "demo", slave); });
  // The prompt is written once echo is off; only then is the password typed.
  std::string seen;
  for (int i = 0; i < 100 && seen.find("Password for demo: ") == std::string::npos; ++i) seen += Drain(master, 100);
  ASSERT_NE(seen.find("Password for demo: "), std::string::npos) << seen;
  const std::string typed = "pa ss\n";
  ASSERT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  const PasswordResult result = reading.get();
  ASSERT_TRUE(result.password) << result.error;
  EXPECT_EQ(*result.password, "pa ss");
  EXPECT_EQ(Drain(master, 50).find("pa ss"), std::string::npos) << "the password was echoed";
  ::close(master);
}

TEST(Password, AStopRequestEndsThePromptWithTheEchoBack) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  int wake[2];
  ASSERT_EQ(::pipe(wake), 0);

  auto reading = std::async(std::launch::async, [&] { return ReadPassword(nullptr, "demo", slave, wake[0]); });
  std::string seen;
  for (int i = 0; i < 100 && seen.find("Password for demo: ") == std::string::npos; ++i) seen += Drain(master, 100);
  ASSERT_NE(seen.find("Password for demo: "), std::string::npos) << seen;
  ASSERT_EQ(::write(wake[1], "x", 1), 1);  // what a signal does
  ASSERT_EQ(reading.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "the prompt kept waiting";
  const PasswordResult result = reading.get();
  EXPECT_FALSE(result.password);
  EXPECT_TRUE(result.stopped);

  // The terminal echoes again.
  const int terminal = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  termios now{};
  ASSERT_EQ(::tcgetattr(terminal, &now), 0);
  EXPECT_NE(now.c_lflag & ECHO, 0u);
  ::close(terminal);
  ::close(wake[0]);
  ::close(wake[1]);
  ::close(master);
}

}  // namespace
}  // namespace quillet::cli
