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

// Here there is usually no sound server: playing fails, is reported once,
// and nothing else happens.
TEST(SoundNotifier, PlaysForBookingsAndReportsAMissingServerOnce) {
  SoundNotifier sound;
  NotifyEvent manual = SampleBooking();
  manual.kind = NotifyEventKind::kManualCheck;
  EXPECT_EQ(sound.Deliver(manual, {}).outcome, DeliveryOutcome::kSkipped);
  const DeliveryResult first = sound.Deliver(SampleBooking(), {});
  const DeliveryResult second = sound.Deliver(SampleBooking(), {});
  if (first.outcome == DeliveryOutcome::kFailed) {
    EXPECT_FALSE(first.detail.empty());
    EXPECT_EQ(second.outcome, DeliveryOutcome::kSkipped);
  } else {
    EXPECT_EQ(first.outcome, DeliveryOutcome::kDelivered);
  }
}

}  // namespace
}  // namespace quillet::test
