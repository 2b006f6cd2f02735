#include "support/redis_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace quillet::test {
namespace {

constexpr char kServer[] = "redis-server";

// A port nobody listens on right now (the kernel's pick for a bound socket).
int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

// Whether "PING" on the port gets "+PONG".
bool Answers(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = false;
  timeval tv{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    constexpr std::string_view kPing = "PING\r\n";
    char answer[64] = {};
    // A password-protected server answers "-NOAUTH" (older) or "+PONG"; either means it is up.
    ok = write(fd, kPing.data(), kPing.size()) == static_cast<ssize_t>(kPing.size()) &&
         read(fd, answer, sizeof answer - 1) > 0 && (answer[0] == '+' || answer[0] == '-');
  }
  close(fd);
  return ok;
}

}  // namespace

bool RedisServerAvailable() { return std::system("command -v redis-server >/dev/null 2>&1") == 0; }

RedisProcess::RedisProcess(std::vector<std::string> extraArgs) : extraArgs_(std::move(extraArgs)) {
  for (int tries = 0; tries < 3 && !Running(); ++tries) {
    port_ = FreeLoopbackPort();
    if (port_ != 0) Start();
  }
  if (!Running()) ADD_FAILURE() << "redis-server did not start";
}

RedisProcess::~RedisProcess() { Stop(); }

bool RedisProcess::Start() {
  std::vector<std::string> args{kServer,        "--port", std::to_string(port_), "--bind", "127.0.0.1", "--save", "",
                                "--appendonly", "no",     "--daemonize",         "no",     "--logfile", ""};
  args.insert(args.end(), extraArgs_.begin(), extraArgs_.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Ended with the test, so a crashed test leaves no server behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    execvp(kServer, argv.data());
    _exit(127);
  }
  if (pid < 0) return false;
  pid_ = pid;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;  // it ended: the port was taken, or the server is missing
      return false;
    }
    if (Answers(port_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Stop();
  return false;
}

void RedisProcess::Stop() {
  if (pid_ <= 0) return;
  const pid_t pid = pid_;
  pid_ = -1;
  kill(pid, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

bool RedisProcess::Restart() {
  Stop();
  for (int tries = 0; tries < 50; ++tries) {
    if (Start()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the old socket may linger
  }
  return false;
}

}  // namespace quillet::test
