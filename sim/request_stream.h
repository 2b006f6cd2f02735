#pragma once
// One plain-HTTP connection as the HTTP library reads and writes it, with
// limits on every request: its head and body must arrive within a deadline
// and within a number of bytes. The library's own stream limits only the
// wait for each piece, so a client that sends a byte a second, or one header
// line without end, could hold its connection (and memory) for as long as
// it liked.
#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <vector>

namespace quillet::sim {

class RequestStream : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  RequestStream(int sock, std::chrono::milliseconds readTimeout, std::chrono::milliseconds writeTimeout);

  // Waits up to the time for the next request to begin (or for the
  // connection to end); false when none came or `stop` became true.
  template <class Stop>
  bool AwaitRequest(std::chrono::milliseconds wait, Stop stop) {
    const auto until = Clock::now() + wait;
    while (!stop()) {
      if (Buffered() > 0 || WaitReadable(std::chrono::milliseconds(100))) return true;
      if (Clock::now() >= until) return false;
    }
    return false;
  }
  // From now on the request's head and body have `readTimeout` and `budget` bytes.
  void StartRequest(std::size_t budget);
  // Whether a read was refused for the deadline or the budget: what is left
  // of the request must not be taken for the next one.
  bool CutOff() const { return cutOff_; }

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, std::size_t size) override;
  ssize_t write(const char* ptr, std::size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  int socket() const override { return sock_; }

 private:
  std::size_t Buffered() const { return end_ - start_; }
  // Waits for input, at most `wait` and never past the request's deadline.
  bool WaitReadable(std::chrono::milliseconds wait) const;

  int sock_;
  std::chrono::milliseconds readTimeout_;
  std::chrono::milliseconds writeTimeout_;
  Clock::time_point deadline_ = Clock::time_point::max();
  std::size_t budget_ = 0;  // bytes the request may still hand out
  bool cutOff_ = false;
  std::vector<char> buffer_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

}  // namespace quillet::sim
