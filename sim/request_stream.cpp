#include "request_stream.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace quillet::sim {

namespace {

bool PollFor(int sock, short events, std::chrono::milliseconds wait) {
  pollfd p{sock, events, 0};
  const auto until = std::chrono::steady_clock::now() + wait;
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    const int ready = poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

void IpAndPort(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
  if (address.ss_family == AF_INET) {
    port = ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  } else if (address.ss_family == AF_INET6) {
    port = ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  } else {
    return;
  }
  std::array<char, NI_MAXHOST> text{};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, text.data(), text.size(), nullptr, 0,
                  NI_NUMERICHOST) == 0) {
    ip = text.data();
  }
}

}  // namespace

RequestStream::RequestStream(int sock, std::chrono::milliseconds readTimeout, std::chrono::milliseconds writeTimeout)
    : sock_(sock), readTimeout_(readTimeout), writeTimeout_(writeTimeout), buffer_(16 * 1024) {}

void RequestStream::StartRequest(std::size_t budget) {
  deadline_ = Clock::now() + readTimeout_;
  budget_ = budget;
}

bool RequestStream::WaitReadable(std::chrono::milliseconds wait) const {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
  if (deadline_ != Clock::time_point::max()) wait = std::min(wait, left);
  return wait.count() > 0 && PollFor(sock_, POLLIN, wait);
}

bool RequestStream::is_readable() const { return Buffered() > 0 || WaitReadable(readTimeout_); }

ssize_t RequestStream::read(char* ptr, std::size_t size) {
  if (budget_ == 0) {  // the request is larger than it may be
    cutOff_ = true;
    return -1;
  }
  if (Buffered() == 0) {
    if (!WaitReadable(readTimeout_)) {  // too slow, or past the deadline
      cutOff_ = true;
      return -1;
    }
    ssize_t n;
    do {
      n = recv(sock_, buffer_.data(), buffer_.size(), 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return n;
    start_ = 0;
    end_ = static_cast<std::size_t>(n);
  }
  const std::size_t n = std::min({size, Buffered(), budget_});
  std::memcpy(ptr, buffer_.data() + start_, n);
  start_ += n;
  budget_ -= n;
  return static_cast<ssize_t>(n);
}

bool RequestStream::is_writable() const { return PollFor(sock_, POLLOUT, writeTimeout_); }

ssize_t RequestStream::write(const char* ptr, std::size_t size) {
  if (!is_writable()) return -1;
  ssize_t n;
  do {
    n = send(sock_, ptr, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n;
}

void RequestStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) IpAndPort(address, length, ip, port);
}

void RequestStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) IpAndPort(address, length, ip, port);
}

}  // namespace quillet::sim
