// Where the cost of a query pass lies: the same N workers, pacing and
// service as bench_query_pass, each pass cut down to one layer of it.
//   socket    the query's request written to a kept TCP connection and the
//             answer read by plain system calls: what the kernel charges for
//             the exchange, the wait for the answer and the pause.
//   exchange  the query through the program's HTTP exchange (libcurl, the
//             cookie jar, the kept connection), the answer not read.
// bench_query_pass adds the reading of the answer on top of `exchange`.
//
// Usage: bench_pass_layers socket|exchange [workers=50] [seconds=20] [latency-ms=20]
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stop_token>
#include <string_view>
#include <thread>

#include "booking/requests.h"
#include "grab/grab_controller.h"
#include "net/http.h"
#include "query_pass_setup.h"
#include "util/wait.h"

using namespace quillet;
using namespace std::chrono_literals;

namespace {

// One keep-alive connection to the sim; Exchange sends a request and reads
// one answer whose body has a Content-Length.
class PlainConnection {
 public:
  explicit PlainConnection(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~PlainConnection() {
    if (fd_ >= 0) close(fd_);
  }
  PlainConnection(const PlainConnection&) = delete;
  PlainConnection& operator=(const PlainConnection&) = delete;

  bool Exchange(std::string_view request) {
    if (fd_ < 0 || send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
      return false;
    }
    answer_.clear();
    std::size_t needed = 0;  // header and body, once the header is in
    char buffer[16384];
    while (needed == 0 || answer_.size() < needed) {
      pollfd waitFor{fd_, POLLIN, 0};
      if (poll(&waitFor, 1, 30000) != 1) return false;
      const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) return false;
      answer_.append(buffer, static_cast<std::size_t>(got));
      const std::size_t headerEnd = answer_.find("\r\n\r\n");
      if (needed == 0 && headerEnd != std::string::npos) {
        const std::size_t length = answer_.find("Content-Length: ");
        if (length == std::string::npos || length > headerEnd) return false;
        needed = headerEnd + 4 + std::strtoul(answer_.c_str() + length + 16, nullptr, 10);
      }
    }
    return true;
  }

 private:
  int fd_ = -1;
  std::string answer_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string_view layer = argc > 1 ? argv[1] : "";
  if (layer != "socket" && layer != "exchange") {
    std::fprintf(stderr, "usage: bench_pass_layers socket|exchange [workers=50] [seconds=20] [latency-ms=20]\n");
    return 2;
  }
  const int workers = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
  const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
  const std::string latency = argc > 4 ? std::to_string(std::max(0, std::atoi(argv[4]))) : "20";

  bench::QueryPassSetup setup(latency);
  if (!setup.Prepare()) return 1;
  const std::string path = LeftTicketQueryPath(setup.date, "BJP", "SHH", false);
  const std::string queryHeaders = HeaderBlocks(setup.sim.BaseUrl()).query;
  // What libcurl sends for the query, with the session's cookies.
  const std::string plainRequest = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(setup.sim.Port()) +
                                   "\r\nAccept: */*\r\nCookie: " + setup.jar.Text() + "\r\n" + queryHeaders +
                                   "\r\n\r\n";
  const std::chrono::milliseconds pause = GrabPacing{}.afterIdlePass;

  std::atomic<long> passes{0};
  std::atomic<long> failures{0};
  std::stop_source stopAll;
  std::vector<std::jthread> threads;
  for (int w = 0; w < workers; ++w) {
    threads.emplace_back([&] {
      const std::stop_token stop = stopAll.get_token();
      PlainConnection connection(setup.sim.Port());
      ExchangeOptions options;
      options.stop = stop;
      do {
        bool answered;
        if (layer == "socket") {
          answered = connection.Exchange(plainRequest);
        } else {
          HttpRequest request;
          request.url = setup.sim.BaseUrl() + path;
          request.headerBlock = queryHeaders;
          request.options = options;
          answered = SendHttpRequest(request, setup.jar).Ok();
        }
        if (!answered && stop.stop_requested()) break;  // cut off by the end of the run, not failed
        (answered ? passes : failures).fetch_add(1, std::memory_order_relaxed);
      } while (WaitUnlessStopped(stop, pause));
    });
  }
  std::this_thread::sleep_for(2s);  // every worker started and connected

  const bench::PassWindow window = bench::MeasurePasses(seconds, [&passes] { return passes.load(); });
  stopAll.request_stop();
  threads.clear();

  std::printf("%.*s: workers %d, latency %s ms, %s; failed exchanges %ld\n", static_cast<int>(layer.size()),
              layer.data(), workers, latency.c_str(), window.Figures().c_str(), failures.load());
  return window.passes > 0 && failures.load() == 0 ? 0 : 1;
}
