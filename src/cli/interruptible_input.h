#pragma once
// A file descriptor read as a std::istream that ends early when another
// descriptor (the stop requests' wake pipe) becomes readable: a prompt that
// waits for a line can then be left at once.
#include <array>
#include <istream>
#include <streambuf>

namespace quillet::cli {

// With `otherFd` (not -1) lines come from whichever of the two has one; the
// end of one leaves the other.
class InterruptibleBuffer : public std::streambuf {
 public:
  InterruptibleBuffer(int fd, int wakeFd, int otherFd = -1) : fd_(fd), wakeFd_(wakeFd), otherFd_(otherFd) {}
  bool Interrupted() const { return interrupted_; }

 protected:
  int_type underflow() override;

 private:
  int fd_;
  int wakeFd_;
  int otherFd_;
  bool interrupted_ = false;
  std::array<char, 4096> buffer_{};
};

class InterruptibleInput : public std::istream {
 public:
  InterruptibleInput(int fd, int wakeFd, int otherFd = -1) : std::istream(nullptr), buffer_(fd, wakeFd, otherFd) {
    rdbuf(&buffer_);
  }
  bool Interrupted() const { return buffer_.Interrupted(); }

 private:
  InterruptibleBuffer buffer_;
};

// Waits until `fd` can be read or `wakeFd` (when not -1) is readable; false
// in the second case.
bool WaitReadable(int fd, int wakeFd);
// The same for two descriptors: the one readable (-1 for none: woken).
int WaitEitherReadable(int fd, int otherFd, int wakeFd);

}  // namespace quillet::cli
