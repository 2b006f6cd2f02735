#pragma once
// A bare TCP connection to quillet-sim, for requests an HTTP client library
// would not send: no length at all, endless chunks, headers a byte at a time.
#include <string>
#include <string_view>

namespace quillet::test {

class RawConnection {
 public:
  explicit RawConnection(int port);  // to 127.0.0.1
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool Open() const { return fd_ >= 0; }
  // Sends all bytes; false when the service no longer takes them.
  bool Send(std::string_view bytes);
  // Whether something (or the end) can be read within the time.
  bool Readable(int timeoutMs) const;
  // The status code of the answer that comes within the time, its head and
  // body in *answer; 0 when none came.
  int ReadAnswer(int timeoutMs, std::string* answer = nullptr);

 private:
  int fd_ = -1;
};

}  // namespace quillet::test
