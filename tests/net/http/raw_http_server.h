#pragma once
// A small HTTP/1.1 server on a free loopback port that records every request
// byte for byte and lets a handler write the raw answer. Each connection has
// its own thread and stays open for further requests (keep-alive) until the
// client closes it, the handler closes it, or the server stops.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillet::test {

struct RawRequest {
  std::string head;  // request line and header lines, up to and including the blank line
  std::string body;
  std::string method;
  std::string target;         // path and query as sent
  int connection = 0;         // 1 for the first accepted connection, and so on
  int indexOnConnection = 0;  // 1 for the first request on its connection

  // The header lines in the order sent, without the request line.
  std::vector<std::string> HeaderLines() const;
  // The value of the first header of that name (any case), or "" if absent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

class RawHttpServer;

class RawConnection {
 public:
  bool Send(std::string_view bytes);
  // Ends the connection after the handler returns.
  void Close() { close_ = true; }
  // Waits for the time given or until the server stops; false when stopped.
  bool Wait(std::chrono::milliseconds duration);

 private:
  friend class RawHttpServer;
  RawConnection(RawHttpServer& server, int fd) : server_(server), fd_(fd) {}
  RawHttpServer& server_;
  int fd_;
  bool close_ = false;
};

class RawHttpServer {
 public:
  using Handler = std::function<void(const RawRequest&, RawConnection&)>;

  explicit RawHttpServer(Handler handler);
  ~RawHttpServer();  // closes every connection and joins its thread
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int Port() const { return port_; }
  std::string Url(std::string_view pathAndQuery = "/", std::string_view host = "127.0.0.1") const;
  std::vector<RawRequest> Requests() const;
  int Connections() const;

 private:
  friend class RawConnection;
  void AcceptLoop();
  void Serve(int fd, int connection);
  bool WaitWhileRunning(std::chrono::milliseconds duration);

  Handler handler_;
  int listenFd_ = -1;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::vector<RawRequest> requests_;
  std::vector<int> openFds_;
  std::vector<std::thread> connectionThreads_;
  int connections_ = 0;
  std::thread acceptThread_;
};

// A complete answer with a Content-Length: "HTTP/1.1 <status> X", the given
// header lines, and the body.
std::string Answer(int status, const std::vector<std::string>& headerLines = {}, std::string_view body = {});

}  // namespace quillet::test
