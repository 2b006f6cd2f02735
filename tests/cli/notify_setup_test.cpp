// When quillet-grab takes a session bus to be there for desktop notifications.
#include "cli/notify_setup.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace quillet::cli {
namespace {

TEST(SessionBus, AnnouncedByAnAddressUnlessItIsDisabled) {
  // A runtime folder without a bus socket, so only the address counts.
  setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
  const struct {
    const char* address;  // nullptr: not set
    bool announced;
  } cases[] = {
      {"unix:path=/run/user/1000/bus", true},
      {"unix:abstract=/tmp/dbus-x,guid=1", true},
      {"disabled:", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& c : cases) {
    if (c.address != nullptr) {
      setenv("DBUS_SESSION_BUS_ADDRESS", c.address, 1);
    } else {
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    EXPECT_EQ(SessionBusAnnounced(), c.announced) << (c.address ? c.address : "(not set)");
  }
}

}  // namespace
}  // namespace quillet::cli
