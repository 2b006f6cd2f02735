#include "private_bus.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

extern char** environ;

namespace quillet::test {

PrivateBus::PrivateBus() {
  char folder[] = "/tmp/quillet-bus-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return;
  folder_ = folder;
  const std::string config = folder_ + "/bus.conf";
  std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig>\n"
                           "  <type>session</type>\n"
                           "  <listen>unix:dir="
                        << folder_
                        << "</listen>\n"
                           "  <auth>EXTERNAL</auth>\n"
                           "  <policy context=\"default\">\n"
                           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                           "    <allow eavesdrop=\"true\"/>\n"
                           "    <allow own=\"*\"/>\n"
                           "  </policy>\n"
                           "</busconfig>\n";

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  // The daemon must not hold the test's own output open: a test that dies
  // before it stops the daemon would otherwise keep its runner waiting.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string configArg = "--config-file=" + config;
  std::vector<char*> argv = {const_cast<char*>("dbus-daemon"), configArg.data(), const_cast<char*>("--print-address"),
                             const_cast<char*>("--nofork"), nullptr};
  const int error = ::posix_spawnp(&daemon_, "dbus-daemon", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (error != 0) {
    daemon_ = -1;
    ::close(out[0]);
    return;
  }
  // The daemon prints its address once it listens.
  std::string line;
  char c = 0;
  while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  address_ = line;
}

PrivateBus::~PrivateBus() {
  if (daemon_ > 0) {
    ::kill(daemon_, SIGTERM);
    int status = 0;
    ::waitpid(daemon_, &status, 0);
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

}  // namespace quillet::test
