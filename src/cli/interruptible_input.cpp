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

int WaitEitherReadable(int fd, int otherFd, int wakeFd) {
  for (;;) {
    pollfd fds[3] = {{fd, POLLIN, 0}, {otherFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = ::poll(fds, 3, -1);  // negative descriptors are left out
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return fd;  // let the read report it
    if (wakeFd >= 0 && (fds[2].revents & POLLIN)) return -1;
    if (fd >= 0 && fds[0].revents != 0) return fd;
    if (otherFd >= 0 && fds[1].revents != 0) return otherFd;
  }
}

InterruptibleBuffer::int_type InterruptibleBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (interrupted_) return traits_type::eof();
  for (;;) {
    int from = fd_;
    if (otherFd_ >= 0) {
      from = WaitEitherReadable(fd_, otherFd_, wakeFd_);
    } else if (!WaitReadable(fd_, wakeFd_)) {
      from = -1;
    }
    if (from < 0) {
      interrupted_ = true;
      return traits_type::eof();
    }
    const ssize_t n = ::read(from, buffer_.data(), buffer_.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0 && from == fd_ && otherFd_ >= 0) {
      fd_ = -1;  // the terminal has ended; the other source goes on
      continue;
    }
    if (n <= 0 && from == otherFd_ && fd_ >= 0) {
      otherFd_ = -1;
      continue;
    }
    if (n <= 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(*gptr());
  }
}

}  // namespace quillet::cli
