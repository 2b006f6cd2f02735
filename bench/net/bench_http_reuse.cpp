// Connection reuse of SendHttpRequest: the same requests with reuse on and
// off, against loopback servers.
//
//   plain: a server that adds one round trip to every answer and three more
//          to the first answer of every connection (TCP and TLS handshakes
//          of a distant service);
//   tls:   a real HTTPS server on loopback, no added delay: the measured
//          cost of the handshakes themselves.
//
// Usage: bench_http_reuse [requests=200] [round-trip-ms=5]
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "booking/service_paths.h"
#include "net/http.h"
#include "raw_http_server.h"
#include "test_pki.h"

namespace {

using Clock = std::chrono::steady_clock;
using quillet::CookieJar;
using quillet::ExchangeOptions;

struct Figures {
  int requests = 0;
  int failures = 0;
  int connections = 0;
  double medianMs = 0;
  double totalS = 0;
};

// Sends `requests` GETs one after another and times each.
template <typename CountConnections>
Figures Run(const std::string& url, int requests, bool reuse, const std::string& extraCa,
            CountConnections countConnections) {
  CookieJar jar("JSESSIONID=0123456789ABCDEF; route=c5c62a339e7744272a54643b3be5bf64");
  ExchangeOptions options;
  options.reuseConnections = reuse;
  options.extraCaFile = extraCa;
  std::vector<double> times;
  Figures figures;
  const auto start = Clock::now();
  for (int i = 0; i < requests; ++i) {
    quillet::HttpRequest request;
    request.url = url;
    request.headerBlock = std::string("Referer: https://booking.example") + quillet::service_paths::kLeftTicketPage;
    request.options = options;
    const auto before = Clock::now();
    const std::string body = quillet::SendHttpRequest(request, jar).body;
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
    if (body.empty()) ++figures.failures;
  }
  figures.totalS = std::chrono::duration<double>(Clock::now() - start).count();
  std::sort(times.begin(), times.end());
  figures.medianMs =
      times.size() % 2 == 1 ? times[times.size() / 2] : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
  figures.requests = requests;
  figures.connections = countConnections();
  return figures;
}

void Print(const char* scenario, bool reuse, const Figures& f) {
  std::printf("%-34s %-5s %8d %11d %9.1f %10.3f %8.2f %8d\n", scenario, reuse ? "on" : "off", f.requests, f.connections,
              f.connections > 0 ? static_cast<double>(f.requests) / f.connections : 0.0, f.medianMs, f.totalS,
              f.failures);
}

void PlainWithLatency(int requests, int roundTripMs) {
  const auto roundTrip = std::chrono::milliseconds(roundTripMs);
  quillet::test::RawHttpServer server(
      [roundTrip](const quillet::test::RawRequest& request, quillet::test::RawConnection& connection) {
        if (request.indexOnConnection == 1) std::this_thread::sleep_for(3 * roundTrip);
        std::this_thread::sleep_for(roundTrip);
        connection.Send(quillet::test::Answer(200, {"Set-Cookie: tk=abc; Path=/"}, std::string(2048, 'x')));
      });
  char scenario[64];
  std::snprintf(scenario, sizeof scenario, "plain, %d ms RTT, 3 RTT setup", roundTripMs);
  int countedBefore = 0;
  for (const bool reuse : {true, false}) {
    const Figures figures = Run(server.Url(quillet::service_paths::kLeftTicketQuery), requests, reuse, {}, [&] {
      const int now = server.Connections();
      const int made = now - countedBefore;
      countedBefore = now;
      return made;
    });
    Print(scenario, reuse, figures);
  }
}

void RealTls(int requests) {
  quillet::test::TestPki pki;
  const quillet::test::ServerCertificate certificate = pki.Issue("bench", "IP:127.0.0.1");
  httplib::SSLServer server(certificate.certFile.c_str(), certificate.keyFile.c_str());
  server.set_keep_alive_max_count(static_cast<size_t>(requests) + 1);
  server.set_keep_alive_timeout(1);
  server.set_tcp_nodelay(true);  // else Nagle and delayed ACKs add 40 ms to every answer
  std::mutex mutex;
  std::set<int> clientPorts;  // one per connection
  server.Get(quillet::service_paths::kLeftTicketQuery,
             [&](const httplib::Request& request, httplib::Response& response) {
               {
                 std::lock_guard lock(mutex);
                 clientPorts.insert(request.remote_port);
               }
               response.set_content(std::string(2048, 'x'), "text/plain");
             });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread listener([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  const std::string url = "https://127.0.0.1:" + std::to_string(port) + quillet::service_paths::kLeftTicketQuery;
  for (const bool reuse : {true, false}) {
    const Figures figures = Run(url, requests, reuse, pki.CaFile(), [&] {
      std::lock_guard lock(mutex);
      const int made = static_cast<int>(clientPorts.size());
      clientPorts.clear();
      return made;
    });
    Print("tls on loopback, no added delay", reuse, figures);
  }
  server.stop();
  listener.join();
}

}  // namespace

int main(int argc, char** argv) {
  const int requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  const int roundTripMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 5;
  std::printf("%-34s %-5s %8s %11s %9s %10s %8s %8s\n", "scenario", "reuse", "requests", "connections", "req/conn",
              "median ms", "total s", "failed");
  PlainWithLatency(requests, roundTripMs);
  RealTls(requests);
  return 0;
}
