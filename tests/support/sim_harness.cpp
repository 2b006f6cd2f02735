#include "support/sim_harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "booking/captcha_cells.h"
#include "text_codec.h"

namespace quillet::test {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr char kListening[] = "listening on ";

httplib::Client MakeClient(const std::string& baseUrl) {
  httplib::Client client(baseUrl);
  client.set_connection_timeout(5);
  client.set_read_timeout(30);
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
  client.enable_server_certificate_verification(false);
#endif
  return client;
}

// Reads the first line the child writes, waiting at most until the deadline.
bool ReadFirstLine(int fd, std::string& line) {
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (line.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // the child closed its output: it ended
    line.append(buffer, static_cast<std::size_t>(n));
  }
  line.erase(line.find('\n'));
  return true;
}

int DescribeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

std::string SimBinaryPath() { return QUILLET_SIM_BINARY; }

std::string ChinaDatePlusDays(int days) {
  const std::time_t t = std::time(nullptr) + 8 * 3600 + static_cast<std::time_t>(days) * 86400;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
  return buf;
}

std::string CaptchaAnswer(const std::vector<int>& cells) {
  std::string answer;
  for (int cell : cells) {
    if (cell < 1 || cell > 8) continue;
    answer += (answer.empty() ? "" : ",") + CaptchaCellPoints()[static_cast<std::size_t>(cell - 1)];
  }
  return answer;
}

SimProcess::SimProcess(std::vector<std::string> extraArgs) {
  const std::string binary = SimBinaryPath();
  if (binary.empty()) {
    ADD_FAILURE() << "quillet-sim is not part of this build (QUILLET_BUILD_SIM=OFF)";
    return;
  }
  std::vector<std::string> args = {binary, "--port", "0", "--control"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot make a pipe for quillet-sim's output";
    return;
  }
  // fork and exec by hand: the child asks to be ended with its parent, so a
  // test that crashes leaves no service behind holding its output pipes.
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(fds[1], STDOUT_FILENO);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  const int forkError = errno;
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    ADD_FAILURE() << "cannot start " << binary << ": " << std::strerror(forkError);
    return;
  }
  pid_ = pid;

  std::string line;
  const bool gotLine = ReadFirstLine(fds[0], line);
  close(fds[0]);  // the sim writes nothing after its first line
  if (!gotLine || line.rfind(kListening, 0) != 0) {
    const int how = Stop();
    ADD_FAILURE() << "quillet-sim did not report its address within "
                  << std::chrono::duration_cast<std::chrono::seconds>(kStartTimeout).count() << " s (first output: '"
                  << line << "', ended with " << how << ")";
    return;
  }
  baseUrl_ = line.substr(sizeof kListening - 1);
  const std::size_t colon = baseUrl_.rfind(':');
  port_ = colon == std::string::npos ? 0 : std::atoi(baseUrl_.c_str() + colon + 1);
}

SimProcess::~SimProcess() { Stop(); }

int SimProcess::Stop() {
  if (pid_ <= 0) return -1;
  const pid_t pid = pid_;
  pid_ = -1;
  kill(pid, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (true) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return DescribeStatus(status);
    if (done < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ADD_FAILURE() << "quillet-sim did not end within 5 s of SIGTERM and was killed";
  return DescribeStatus(status);
}

std::string SimProcess::Get(const std::string& pathAndQuery) const {
  if (baseUrl_.empty()) return {};
  httplib::Client client = MakeClient(baseUrl_);
  const auto result = client.Get(pathAndQuery.c_str());
  return result ? result->body : std::string();
}

std::string SimProcess::PostForm(const std::string& path, const std::map<std::string, std::string>& fields) const {
  if (baseUrl_.empty()) return {};
  std::string body;
  for (const auto& [key, value] : fields) {
    body += (body.empty() ? "" : "&") + sim::PercentEncode(key) + "=" + sim::PercentEncode(value);
  }
  httplib::Client client = MakeClient(baseUrl_);
  const auto result = client.Post(path.c_str(), body, "application/x-www-form-urlencoded");
  return result ? result->body : std::string();
}

std::string SimProcess::ScanQrCode(const std::string& id, const std::string& account, const std::string& confirm,
                                   int* status) const {
  if (baseUrl_.empty()) return {};
  std::string body = "{\"id\":" + JsonStringFromUtf8(id) + ",\"account\":" + JsonStringFromUtf8(account);
  if (!confirm.empty()) body += ",\"confirm\":" + confirm;
  body += "}";
  httplib::Client client = MakeClient(baseUrl_);
  const auto result = client.Post("/sim/qr/scan", body, "application/json");
  if (status != nullptr) *status = result ? result->status : 0;
  return result ? result->body : std::string();
}

std::vector<int> SimProcess::CaptchaCells(const std::string& jsessionId) const {
  const std::string json = Get("/sim/captcha?session=" + sim::PercentEncode(jsessionId));
  std::vector<int> cells;
  const std::size_t open = json.find('[');
  const std::size_t close = json.find(']');
  if (open == std::string::npos || close == std::string::npos) return cells;
  for (std::size_t i = open + 1; i < close; ++i) {
    if (json[i] >= '1' && json[i] <= '8') cells.push_back(json[i] - '0');
  }
  return cells;
}

std::string SimProcess::Release(const std::string& date, const std::string& train, const std::string& seat,
                                int count) const {
  return PostForm("/sim/release", {{"date", date}, {"train", train}, {"seat", seat}, {"count", std::to_string(count)}});
}

void SimProcess::Reset() const { PostForm("/sim/reset", {}); }

std::string SimProcess::ArmFault(const std::string& path, const std::string& mode, int times) const {
  return PostForm("/sim/fault", {{"path", path}, {"mode", mode}, {"times", std::to_string(times)}});
}

}  // namespace quillet::test
