#include "raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace quillet::test {
namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

}  // namespace

std::vector<std::string> RawRequest::HeaderLines() const {
  std::vector<std::string> lines;
  std::size_t at = head.find("\r\n");
  while (at != std::string::npos) {
    const std::size_t from = at + 2;
    at = head.find("\r\n", from);
    if (at == std::string::npos || at == from) break;
    lines.push_back(head.substr(from, at - from));
  }
  return lines;
}

std::string RawRequest::Header(std::string_view name) const {
  for (const std::string& line : HeaderLines()) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && EqualsIgnoreCase(Trim(std::string_view(line).substr(0, colon)), name)) {
      return std::string(Trim(std::string_view(line).substr(colon + 1)));
    }
  }
  return {};
}

bool RawRequest::HasHeader(std::string_view name) const {
  for (const std::string& line : HeaderLines()) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && EqualsIgnoreCase(Trim(std::string_view(line).substr(0, colon)), name))
      return true;
  }
  return false;
}

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool RawConnection::Wait(std::chrono::milliseconds duration) { return server_.WaitWhileRunning(duration); }

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) std::abort();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 64) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::abort();
  }
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  ::shutdown(listenFd_, SHUT_RDWR);  // wakes the blocked accept
  acceptThread_.join();
  ::close(listenFd_);
  // No new connection threads can start now.
  for (std::thread& thread : connectionThreads_) thread.join();
}

std::string RawHttpServer::Url(std::string_view pathAndQuery, std::string_view host) const {
  return "http://" + std::string(host) + ":" + std::to_string(port_) + std::string(pathAndQuery);
}

std::vector<RawRequest> RawHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int RawHttpServer::Connections() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

bool RawHttpServer::WaitWhileRunning(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !stopped_.wait_for(lock, duration, [this] { return stopping_; });
}

void RawHttpServer::AcceptLoop() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    if (fd < 0) continue;
    openFds_.push_back(fd);
    const int connection = ++connections_;
    connectionThreads_.emplace_back([this, fd, connection] { Serve(fd, connection); });
  }
}

namespace {

// Reads the next request from the connection; false when the connection ends first.
bool ReadRequest(int fd, std::string& buffer, RawRequest& request) {
  char chunk[65536];
  auto receiveMore = [&] {
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(got));
    return true;
  };
  std::size_t headEnd;
  while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
    if (!receiveMore()) return false;
  }
  request.head = buffer.substr(0, headEnd + 4);
  buffer.erase(0, headEnd + 4);
  const std::size_t firstSpace = request.head.find(' ');
  const std::size_t secondSpace = request.head.find(' ', firstSpace + 1);
  request.method = request.head.substr(0, firstSpace);
  request.target = request.head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  const std::size_t bodyLength = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
  while (buffer.size() < bodyLength) {
    if (!receiveMore()) return false;
  }
  request.body = buffer.substr(0, bodyLength);
  buffer.erase(0, bodyLength);
  return true;
}

}  // namespace

void RawHttpServer::Serve(int fd, int connection) {
  std::string buffer;
  for (int index = 1;; ++index) {
    RawRequest request;
    request.connection = connection;
    request.indexOnConnection = index;
    if (!ReadRequest(fd, buffer, request)) break;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    RawConnection reply(*this, fd);
    handler_(request, reply);
    if (reply.close_) break;
  }
  std::lock_guard lock(mutex_);
  openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
  ::close(fd);
}

std::string Answer(int status, const std::vector<std::string>& headerLines, std::string_view body) {
  std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
  for (const std::string& line : headerLines) answer += line + "\r\n";
  answer += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  answer += body;
  return answer;
}

}  // namespace quillet::test
