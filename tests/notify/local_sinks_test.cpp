// The terminal bell and the sound, which need no server of ours.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include "notify/sound_notifier.h"
#include "notify/terminal_bell.h"
#include "scripted_notifier.h"

namespace quillet::test {
namespace {

std::string ReadAvailable(int fd) {
  std::string out;
  char buffer[64];
  pollfd ready{fd, POLLIN, 0};
  while (::poll(&ready, 1, 200) > 0 && (ready.revents & POLLIN)) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

TEST(TerminalBell, RingsATerminalOnABookingOnly) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);

  TerminalBell bell(terminal);
  NotifyEvent lapsed;
  lapsed.kind = NotifyEventKind::kSessionLapsed;
  EXPECT_EQ(bell.Deliver(lapsed, {}).outcome, DeliveryOutcome::kSkipped);
  EXPECT_EQ(bell.Deliver(SampleBooking(), {}).outcome, DeliveryOutcome::kDelivered);
  EXPECT_EQ(ReadAvailable(master), "\a");
  ::close(terminal);
  ::close(master);

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  EXPECT_EQ(TerminalBell(pipeFds[1]).Deliver(SampleBooking(), {}).outcome, DeliveryOutcome::kSkipped);
  ::close(pipeFds[1]);
  EXPECT_EQ(ReadAvailable(pipeFds[0]), "");
  ::close(pipeFds[0]);
}

// Standard error's bytes while `body` runs.
template <typename Body>
std::string StandardErrorOf(Body body) {
  char path[] = "/tmp/quillet-stderr-XXXXXX";
  const int file = ::mkstemp(path);
  const int saved = ::dup(STDERR_FILENO);
  ::dup2(file, STDERR_FILENO);
  body();
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  std::string out;
  char buffer[256];
  ::lseek(file, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(file, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
  ::close(file);
  ::unlink(path);
  return out;
}

// Here there is usually no sound server or card: playing fails, is reported
// once for good (a later success does not bring the report back), and the
// sound library's diagnostics ("ALSA lib ...") stay off standard error.
TEST(SoundNotifier, PlaysForBookingsAndReportsAFailureOnceQuietly) {
  SoundNotifier sound([] { return true; });
  NotifyEvent manual = SampleBooking();
  manual.kind = NotifyEventKind::kManualCheck;
  EXPECT_EQ(sound.Deliver(manual, {}).outcome, DeliveryOutcome::kSkipped);
  DeliveryResult first, second;
  const std::string diagnostics = StandardErrorOf([&] {
    first = sound.Deliver(SampleBooking(), {});
    second = sound.Deliver(SampleBooking(), {});
  });
  EXPECT_EQ(diagnostics, "");
  if (first.outcome == DeliveryOutcome::kFailed) {
    EXPECT_FALSE(first.detail.empty());
    EXPECT_EQ(first.failure.kind, DeliveryFailure::Kind::kNoSound);
    EXPECT_FALSE(first.failure.systemText.empty());
    EXPECT_EQ(second.outcome, DeliveryOutcome::kSkipped);
  } else {
    EXPECT_EQ(first.outcome, DeliveryOutcome::kDelivered);
  }
}

TEST(SoundNotifier, WithoutAnyOutputTheSoundIsSkippedUntried) {
  int asked = 0;
  SoundNotifier sound([&] {
    ++asked;
    return false;
  });
  const std::string diagnostics = StandardErrorOf([&] {
    EXPECT_EQ(sound.Deliver(SampleBooking(), {}).outcome, DeliveryOutcome::kSkipped);
    EXPECT_EQ(sound.Deliver(SampleBooking(), {}).outcome, DeliveryOutcome::kSkipped);
  });
  EXPECT_EQ(diagnostics, "");
  EXPECT_EQ(asked, 1) << "the machine is looked at once";
}

}  // namespace
}  // namespace quillet::test
