#pragma once
// A file descriptor read as a std::istream that ends early when another
// descriptor (the stop requests' wake pipe) becomes readable: a prompt that
// waits for a line can then be left at once.
#include <array>
#include <istream>
#include <streambuf>

namespace quillet::cli {

class InterruptibleBuffer : public std::streambuf {
 public:
  InterruptibleBuffer(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}
  bool Interrupted() const { return interrupted_; }

 protected:
  int_type underflow() override;

 private:
  int fd_;
  int wakeFd_;
  bool interrupted_ = false;
  std::array<char, 4096> buffer_{};
};

class InterruptibleInput : public std::istream {
 public:
  InterruptibleInput(int fd, int wakeFd) : std::istream(nullptr), buffer_(fd, wakeFd) { rdbuf(&buffer_); }
  bool Interrupted() const { return buffer_.Interrupted(); }

 private:
  InterruptibleBuffer buffer_;
};

// Waits until `fd` can be read or `wakeFd` (when not -1) is readable; false
// in the second case.
bool WaitReadable(int fd, int wakeFd);

}  // namespace quillet::cli
