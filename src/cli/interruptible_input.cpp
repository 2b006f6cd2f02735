#include "cli/interruptible_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace quillet::cli {

bool WaitReadable(int fd, int wakeFd) {
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return true;  // let the read report it
    if (wakeFd >= 0 && (fds[1].revents & POLLIN)) return false;
    if (fds[0].revents != 0) return true;
  }
}

InterruptibleBuffer::int_type InterruptibleBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (interrupted_) return traits_type::eof();
  for (;;) {
    if (!WaitReadable(fd_, wakeFd_)) {
      interrupted_ = true;
      return traits_type::eof();
    }
    const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(*gptr());
  }
}

}  // namespace quillet::cli
