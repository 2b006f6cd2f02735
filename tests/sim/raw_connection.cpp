#include "raw_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace quillet::test {

RawConnection::RawConnection(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  // A service that neither reads nor closes fails the send instead of hanging the test.
  const timeval sendLimit{10, 0};
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) close(fd_);
}

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool RawConnection::Readable(int timeoutMs) const {
  pollfd p{fd_, POLLIN, 0};
  return poll(&p, 1, timeoutMs) > 0;
}

int RawConnection::ReadAnswer(int timeoutMs, std::string* answer) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string text;
  std::size_t wanted = std::string::npos;  // head and body, once the head is in
  while (text.size() < wanted) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !Readable(static_cast<int>(left))) break;
    char buffer[4096];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    const std::size_t headEnd = text.find("\r\n\r\n");
    if (wanted == std::string::npos && headEnd != std::string::npos) {
      const std::size_t length = text.find("Content-Length: ");
      wanted = length != std::string::npos && length < headEnd
                   ? headEnd + 4 + std::strtoul(text.c_str() + length + 16, nullptr, 10)
                   : std::string::npos;
    }
  }
  if (answer != nullptr) *answer = text;
  if (text.rfind("HTTP/1.1 ", 0) != 0 || text.size() < 12) return 0;
  return std::atoi(text.c_str() + 9);
}

}  // namespace quillet::test
