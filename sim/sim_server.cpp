#include "sim_server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netdb.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "answers.h"
#include "connection_threads.h"
#include "qr_scan_request.h"
#include "request_stream.h"
#include "util/messages.h"

namespace quillet::sim {

namespace {

int PortOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return -1;
}

// Closes the connection a request came in on without answering; with
// `reset` the close is an abort (RST). The HTTP library does not hand the
// socket to handlers, so it is found among the process's descriptors by its
// two port numbers.
bool DropConnection(const httplib::Request& request, bool reset = false) {
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return false;
  bool dropped = false;
  while (dirent* entry = readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    sockaddr_storage local{};
    sockaddr_storage peer{};
    socklen_t localLength = sizeof local;
    socklen_t peerLength = sizeof peer;
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0) continue;
    if (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) continue;
    if (PortOf(local) == request.local_port && PortOf(peer) == request.remote_port) {
      if (reset) {
        const linger abort{1, 0};
        setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      }
      shutdown(static_cast<int>(fd), SHUT_RDWR);
      dropped = true;
      break;
    }
  }
  closedir(dir);
  return dropped;
}

std::string HeaderValues(const httplib::Request& request, const char* name) {
  std::string joined;
  const std::size_t n = request.get_header_value_count(name);
  for (std::size_t i = 0; i < n; ++i) {
    joined += (i ? "; " : "") + request.get_header_value(name, i);
  }
  return joined;
}

void Apply(const SimResponse& answer, httplib::Response& response) {
  response.status = answer.status;
  for (const auto& [name, value] : answer.headers) response.headers.emplace(name, value);
  response.set_content(answer.body, answer.contentType.c_str());
}

// The library listens with a backlog of 5, which drops connections when
// dozens of clients connect at once; listen() again widens it.
template <class Base>
class WideBacklog : public Base {
 public:
  using Base::Base;
  void Widen(int backlog) { ::listen(this->svr_sock_, backlog); }
};

// The largest request body taken, whether its length is given or it comes in
// chunks; the service's own forms are a few hundred bytes.
constexpr std::size_t kMaxBodyBytes = 4 * 1024 * 1024;
// The most bytes one request may take on the wire: its head, and its body
// with room for the chunks' framing.
constexpr std::size_t kMaxRequestBytes = 64 * 1024 + 2 * kMaxBodyBytes;

// Threads that wait for connections from the start (the library's pool had
// as many), and how long those started beyond them wait for the next one.
constexpr std::size_t kKeptThreads = 128;
constexpr std::chrono::seconds kIdleThreadEnd{30};

// Why the address cannot be listened on, in the system's words. The library
// keeps the error of its own attempt to itself, so the attempt is made again
// here the same way.
std::string ListenFailure(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) return gai_strerror(resolved);
  std::string reason;
  for (const addrinfo* address = found; address != nullptr && reason.empty(); address = address->ai_next) {
    const int fd = socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
    if (fd < 0) {
      reason = std::strerror(errno);
      break;
    }
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (bind(fd, address->ai_addr, address->ai_addrlen) != 0 || listen(fd, 1) != 0) reason = std::strerror(errno);
    close(fd);
  }
  freeaddrinfo(found);
  return reason.empty() ? "it could not be bound a moment ago" : reason;
}

// Whether a request says it has a body. One with neither a length nor
// chunks has none; the library would otherwise read until the client closes.
bool HasBody(const httplib::Request& request) {
  return request.has_header("Content-Length") || request.has_header("Transfer-Encoding");
}

const char kTooLargePage[] =
    "<html>\r\n<head><title>413 Request Entity Too Large</title></head>\r\n<body>\r\n"
    "<center><h1>413 Request Entity Too Large</h1></center>\r\n<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n";
const char kBadRequestPage[] =
    "<html>\r\n<head><title>400 Bad Request</title></head>\r\n<body>\r\n"
    "<center><h1>400 Bad Request</h1></center>\r\n<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n";

// Refuses a request whose body was not read to its end and closes the
// connection after the answer: what is left of the body must not be taken
// for the next request. The answer goes out whole; the provider's "false"
// after it is what makes the library close the connection.
void RefuseBody(int status, httplib::Response& response) {
  const std::string page = status == 413 ? kTooLargePage : kBadRequestPage;
  response.status = status;
  response.set_header("Connection", "close");
  response.set_header("Date", HttpDateText(UnixMsNow()));
  response.set_content_provider(page.size(), kHtmlType,
                                [page](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                  if (offset == 0) sink.write(page.data(), page.size());
                                  return false;
                                });
}

// The plain-HTTP server with its connections read through RequestStream.
// The keep-alive loop is the library's, with the stream swapped.
class GuardedServer : public WideBacklog<httplib::Server> {
 public:
  GuardedServer(std::chrono::milliseconds readTimeout, std::size_t requestBudget)
      : readTimeout_(readTimeout), requestBudget_(requestBudget) {}

 private:
  bool process_and_close_socket(int sock) override {
    const auto writeTimeout = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::seconds(write_timeout_sec_) + std::chrono::microseconds(write_timeout_usec_));
    RequestStream stream(sock, readTimeout_, writeTimeout);
    bool ok = false;
    const auto stopped = [this] { return svr_sock_ == INVALID_SOCKET; };
    for (std::size_t left = keep_alive_max_count_;
         left > 0 && stream.AwaitRequest(std::chrono::seconds(keep_alive_timeout_sec_), stopped); --left) {
      stream.StartRequest(requestBudget_);
      bool closed = false;
      ok = process_request(stream, left == 1, closed, nullptr);
      if (!ok || closed || stream.CutOff()) break;
    }
    shutdown(sock, SHUT_RDWR);
    close(sock);
    return ok;
  }

  std::chrono::milliseconds readTimeout_;
  std::size_t requestBudget_;
};

const char kBadGatewayPage[] =
    "<html>\r\n<head><title>502 Bad Gateway</title></head>\r\n<body>\r\n<center><h1>502 Bad Gateway</h1></center>\r\n"
    "<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n";

}  // namespace

SimServer::SimServer(const Options& options, BookingService& service)
    : options_(options), service_(service), faults_(options) {}

SimServer::~SimServer() = default;

bool SimServer::Bind(std::string& error, int& exitCode) {
  exitCode = 2;
  std::function<void()> widenBacklog;
  if (!options_.tlsCert.empty()) {
    auto server = std::make_unique<WideBacklog<httplib::SSLServer>>(options_.tlsCert.c_str(), options_.tlsKey.c_str());
    widenBacklog = [s = server.get()] { s->Widen(1024); };
    server_ = std::move(server);
  } else {
    const auto readTimeout = std::chrono::milliseconds(static_cast<long long>(options_.readTimeoutSeconds * 1000));
    auto server = std::make_unique<GuardedServer>(readTimeout, kMaxRequestBytes);
    widenBacklog = [s = server.get()] { s->Widen(1024); };
    server_ = std::move(server);
  }
  if (!server_->is_valid()) {
    error = Format(_("cannot use the TLS certificate or key (%s, %s)"), options_.tlsCert, options_.tlsKey);
    return false;
  }
  exitCode = 1;
  const std::size_t threads = static_cast<std::size_t>(options_.threads);
  server_->new_task_queue = [threads] { return new ConnectionThreads(kKeptThreads, threads, kIdleThreadEnd); };
  // Not the library's default SO_REUSEPORT: with it a second service started
  // on the same port would listen too, and the kernel would share the
  // connections between the two.
  server_->set_socket_options([](int sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server_->set_keep_alive_max_count(1000);
  server_->set_keep_alive_timeout(5);
  // Answers go out at once; on a kept-alive connection Nagle's algorithm would
  // otherwise hold each small answer for the client's delayed acknowledgement.
  server_->set_tcp_nodelay(true);
  // Each wait for a piece of a request (the whole request, without TLS).
  server_->set_read_timeout(std::chrono::milliseconds(static_cast<long long>(options_.readTimeoutSeconds * 1000)));
  server_->set_write_timeout(10);
  server_->set_payload_max_length(kMaxBodyBytes);
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    Serve(request, response);
  };
  // Bodies are read here rather than by the library, which limits only a
  // body of given length and would take chunks without end.
  const auto bodyHandler = [this](const httplib::Request& request, httplib::Response& response,
                                  const httplib::ContentReader& reader) { ServeWithBody(request, response, reader); };
  server_->Get(".*", handler);
  server_->Post(".*", bodyHandler);
  server_->Put(".*", bodyHandler);
  server_->Patch(".*", bodyHandler);
  server_->Delete(".*", bodyHandler);
  server_->Options(".*", handler);

  if (options_.port == 0) {
    port_ = server_->bind_to_any_port(options_.host);
    if (port_ <= 0) {
      error = Format(_("cannot listen on %s: %s"), options_.host, ListenFailure(options_.host, 0));
      return false;
    }
  } else {
    if (!server_->bind_to_port(options_.host, options_.port)) {
      error = Format(_("cannot listen on %s: %s"), options_.host + ":" + std::to_string(options_.port),
                     ListenFailure(options_.host, options_.port));
      return false;
    }
    port_ = options_.port;
  }
  widenBacklog();
  return true;
}

std::string SimServer::Url() const {
  const std::string host = options_.host.find(':') != std::string::npos ? "[" + options_.host + "]" : options_.host;
  return std::string(options_.tlsCert.empty() ? "http" : "https") + "://" + host + ":" + std::to_string(port_);
}

void SimServer::Run() { server_->listen_after_bind(); }

void SimServer::Stop() {
  afterFaults_.Stop();
  if (server_) server_->stop();
}

void SimServer::LogRequest(const httplib::Request& request, const std::string& path, const std::string& query,
                           std::int64_t arrivedMs) {
  LoggedRequest entry;
  entry.ms = log_.ElapsedMs();
  entry.unixMs = arrivedMs;
  entry.address = request.remote_addr;
  entry.method = request.method;
  entry.path = path;
  entry.query = query;
  // The library keeps headers sorted by name; repeated names are joined.
  for (const auto& [name, value] : request.headers) {
    if (!entry.headers.empty() && strcasecmp(entry.headers.back().first.c_str(), name.c_str()) == 0) {
      entry.headers.back().second += ", " + value;
    } else {
      entry.headers.emplace_back(name, value);
    }
  }
  entry.body = request.body;
  log_.Add(std::move(entry));
}

void SimServer::ServeWithBody(const httplib::Request& request, httplib::Response& response,
                              const httplib::ContentReader& reader) {
  httplib::Request withBody = request;
  if (HasBody(request)) {
    bool tooLarge = false;
    const auto take = [&](const char* data, std::size_t length) {
      if (withBody.body.size() + length > kMaxBodyBytes) {
        tooLarge = true;
        return false;
      }
      withBody.body.append(data, length);
      return true;
    };
    // The service takes no multipart forms; their parts are only counted.
    std::size_t partBytes = 0;
    const bool read = request.is_multipart_form_data() ? reader([](const httplib::MultipartFormData&) { return true; },
                                                                [&](const char*, std::size_t length) {
                                                                  partBytes += length;
                                                                  tooLarge = partBytes > kMaxBodyBytes;
                                                                  return !tooLarge;
                                                                })
                                                       : reader(take);
    if (!read) return RefuseBody(tooLarge || response.status == 413 ? 413 : 400, response);
  }
  Serve(withBody, response);
}

void SimServer::Serve(const httplib::Request& request, httplib::Response& response) {
  const std::size_t mark = request.target.find('?');
  const std::string rawPath = request.target.substr(0, mark);
  const std::string rawQuery = mark == std::string::npos ? "" : request.target.substr(mark + 1);
  if (options_.control && request.path.rfind("/sim/", 0) == 0) {
    ServeControl(request, request.path, response);
    response.set_header("Date", HttpDateText(UnixMsNow()));
    return;
  }
  // The latency stands for the network: half of it is the request's way to
  // the service, half the answer's way back. The request counts as arrived
  // (in the log, for sale moments and the Date header) between the two, as
  // a distant service would see it.
  const int towardsService = options_.latencyMs / 2;
  if (towardsService > 0) std::this_thread::sleep_for(std::chrono::milliseconds(towardsService));
  // One reading names the arrival in the log (the machine's clock) and for
  // the service (its shifted clock), so the two never disagree on which side
  // of a moment a request fell.
  const std::int64_t arrivedMs = RequestLog::MachineUnixMs();
  const std::int64_t receivedMs = arrivedMs + options_.clockShiftMs;
  LogRequest(request, rawPath, rawQuery, arrivedMs);
  Answer(request, rawQuery, receivedMs, response);
  response.set_header("Date", HttpDateText(UnixMsNow()));
  const int backToClient = options_.latencyMs - towardsService;
  if (backToClient > 0) std::this_thread::sleep_for(std::chrono::milliseconds(backToClient));
}

void SimServer::Answer(const httplib::Request& request, const std::string& rawQuery, std::int64_t receivedMs,
                       httplib::Response& response) {
  if (const auto fault = faults_.Pick()) {
    switch (*fault) {
      case FaultKind::kDelay:
        std::this_thread::sleep_for(std::chrono::milliseconds(faults_.DelayMs()));
        break;  // then answered normally
      case FaultKind::kBadGateway:
        response.status = 502;
        response.set_content(kBadGatewayPage, "text/html");
        return;
      case FaultKind::kEmpty:
        response.status = 200;
        response.set_content("", kHtmlType);
        return;
      case FaultKind::kTruncated: {
        // Promises the whole answer, sends a part and closes the connection.
        const std::string full = BookingService::BusyAnswer(request.path).body;
        const std::string part = full.substr(0, faults_.CutPoint(full.size()));
        response.status = 200;
        response.set_content_provider(full.size(), kJsonType,
                                      [part](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                        if (offset == 0) sink.write(part.data(), part.size());
                                        return false;
                                      });
        return;
      }
      case FaultKind::kGarbage:
        response.status = 200;
        response.set_content(faults_.GarbageBytes(), kJsonType);
        return;
      case FaultKind::kDrop:
        if (!DropConnection(request)) {
          response.set_chunked_content_provider(kHtmlType, [](std::size_t, httplib::DataSink&) { return false; });
        }
        return;
      case FaultKind::kBusy:
        Apply(BookingService::BusyAnswer(request.path), response);
        return;
    }
  }

  SimRequest simRequest;
  simRequest.method = request.method == "HEAD" ? "GET" : request.method;
  simRequest.path = request.path;
  simRequest.rawQuery = rawQuery;
  simRequest.body = request.body;
  simRequest.cookieHeader = HeaderValues(request, "Cookie");
  simRequest.clientAddress = request.remote_addr;
  simRequest.receivedMs = receivedMs;
  const SimResponse answer = service_.Handle(simRequest);
  if (const auto lost = afterFaults_.Take(request.path)) {
    if (*lost != AfterEffect::kReset) {
      SendSpoiled(*lost, answer, faults_, afterFaults_, response);
    } else if (!DropConnection(request, /*reset=*/true)) {
      response.set_chunked_content_provider(kHtmlType, [](std::size_t, httplib::DataSink&) { return false; });
    }
    return;
  }
  Apply(answer, response);
}

void SimServer::ServeControl(const httplib::Request& request, const std::string& path, httplib::Response& response) {
  const std::size_t mark = request.target.find('?');
  const FormFields query = ParseForm(mark == std::string::npos ? "" : request.target.substr(mark + 1));
  const auto json = [&response](int status, const std::string& body) {
    response.status = status;
    response.set_content(body, kJsonType);
  };
  if (request.method == "GET" && path == "/sim/state") {
    json(200, "{\"bookings\":" + service_.BookingsJson() + ",\"waitlist\":" + service_.WaitlistJson() +
                  ",\"requests\":" + log_.CountsJson() + ",\"sessions\":" + std::to_string(service_.SessionCount()) +
                  "}");
  } else if (request.method == "GET" && path == "/sim/requests") {
    json(200, log_.EntriesJson());
  } else if (request.method == "GET" && path == "/sim/captcha") {
    std::string cells;
    const bool found = service_.CaptchaCellsJson(Field(query, "session"), cells);
    json(found ? 200 : 404, cells);
  } else if (request.method == "GET" && path == "/sim/stock") {
    json(200,
         "{\"count\":" +
             std::to_string(service_.StockCount(Field(query, "date"), Field(query, "train"), Field(query, "seat"))) +
             "}");
  } else if (request.method == "POST" && path == "/sim/release") {
    const FormFields form = ParseForm(request.body);
    std::string answer;
    if (service_.Release(Field(form, "date"), Field(form, "train"), Field(form, "seat"), Field(form, "count"),
                         answer)) {
      json(200, answer);
    } else {
      json(400, "{\"error\":" + JsonStringFromUtf8(answer) + "}");
    }
  } else if (request.method == "POST" && path == "/sim/sale") {
    SetSale(request, response);
  } else if (request.method == "POST" && path == "/sim/station-sale") {
    const FormFields form = ParseForm(request.body);
    const auto sale = ParseStationSale(Field(form, "code") + "@" + Field(form, "time"));
    if (!sale) {
      json(400, "{\"error\":\"code must be a telecode of three capital letters and time HH:MM\"}");
    } else {
      service_.SetStationSale(*sale);
      json(200, "{\"code\":" + JsonStringFromUtf8(sale->telecode) +
                    ",\"time\":" + JsonStringFromUtf8(ClockText(sale->minuteOfDay)) + "}");
    }
  } else if (request.method == "POST" && path == "/sim/taken") {
    const FormFields form = ParseForm(request.body);
    std::string answer;
    if (service_.SetTaken(Field(form, "date"), Field(form, "train"), Field(form, "seat"), Field(form, "positions"),
                          Field(form, "berths"), answer)) {
      json(200, answer);
    } else {
      json(400, "{\"error\":" + JsonStringFromUtf8(answer) + "}");
    }
  } else if (request.method == "GET" && path == "/sim/sales") {
    json(200, "{\"now\":" + JsonStringFromUtf8(ChinaDateTimeMsText(UnixMsNow())) +
                  ",\"sales\":" + service_.SalesJson() + "}");
  } else if (request.method == "POST" && path == "/sim/fault") {
    ArmFault(request, response);
  } else if (request.method == "GET" && path == "/sim/faults") {
    json(200, afterFaults_.ArmedJson());
  } else if (request.method == "POST" && path == "/sim/qr/scan") {
    std::string error;
    if (const auto scan = ReadQrScan(request.body, error)) {
      std::string answer;
      const int status = service_.ScanQrCode(*scan, answer);
      json(status, answer);
    } else {
      json(400, "{\"error\":" + JsonStringFromUtf8(error) + "}");
    }
  } else if (request.method == "POST" && path == "/sim/reset") {
    service_.Reset();
    log_.Clear();
    afterFaults_.Clear();
    json(200, "{\"reset\":true}");
  } else {
    json(404, "{\"error\":\"unknown control endpoint\"}");
  }
}

void SimServer::ArmFault(const httplib::Request& request, httplib::Response& response) {
  const FormFields form = ParseForm(request.body);
  const auto refuse = [&response](const std::string& error) {
    response.status = 400;
    response.set_content("{\"error\":" + JsonStringFromUtf8(error) + "}", kJsonType);
  };
  const std::string path = Field(form, "path");
  if (path.empty()) return refuse("path must name a path or its last segment");
  const auto effect = AfterEffectNamed(Field(form, "mode"));
  if (!effect) return refuse("mode must be garbage, truncated, reset or drip");
  const std::string timesText = Field(form, "times");
  long times = 1;
  if (!timesText.empty()) {
    char* end = nullptr;
    times = std::strtol(timesText.c_str(), &end, 10);
    if (*end != '\0' || times < 0 || times > 1000000) return refuse("times must be 0 to 1000000");
  }
  afterFaults_.Arm(path, *effect, static_cast<int>(times));
  response.status = 200;
  response.set_content(afterFaults_.ArmedJson(), kJsonType);
}

void SimServer::SetSale(const httplib::Request& request, httplib::Response& response) {
  const FormFields form = ParseForm(request.body);
  const auto refuse = [&response](const std::string& error) {
    response.status = 400;
    response.set_content("{\"error\":" + JsonStringFromUtf8(error) + "}", kJsonType);
  };
  SaleOpening opening;
  opening.date = Field(form, "date");
  if (!ParseDate(opening.date)) return refuse("date must be yyyy-MM-dd");
  const std::string moment = Field(form, "moment");
  const std::string inMs = Field(form, "in_ms");
  if (moment.empty() == inMs.empty()) return refuse("give either moment or in_ms");
  if (!moment.empty()) {
    const auto parsed = ParseChinaDateTime(moment);
    if (!parsed)
      return refuse("moment must be YYYY-MM-DD HH:MM:SS[.mmm], China Standard Time, in the years 2000 to 2099");
    opening.openingMs = *parsed;
  } else {
    char* end = nullptr;
    const long long n = std::strtoll(inMs.c_str(), &end, 10);
    if (*end != '\0' || n < -86400000LL || n > 86400000LL) return refuse("in_ms must be milliseconds within a day");
    opening.openingMs = UnixMsNow() + n;
  }
  service_.SetSale(opening);
  response.status = 200;
  response.set_content("{\"date\":" + JsonStringFromUtf8(opening.date) +
                           ",\"moment\":" + JsonStringFromUtf8(ChinaDateTimeMsText(opening.openingMs)) +
                           ",\"moment_ms\":" + std::to_string(opening.openingMs) + "}",
                       kJsonType);
}

}  // namespace quillet::sim
