#pragma once
// A session bus of the test's own: dbus-daemon with a temporary config,
// listening in a temporary folder, stopped again at the end.
#include <sys/types.h>

#include <string>

namespace quillet::test {

class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  bool Running() const { return !address_.empty(); }
  const std::string& Address() const { return address_; }

 private:
  std::string folder_;
  std::string address_;
  pid_t daemon_ = -1;
};

}  // namespace quillet::test
