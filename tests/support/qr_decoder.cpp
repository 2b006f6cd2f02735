#include "support/qr_decoder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quillet::test {

std::optional<std::string> DecodeQrPicture(const std::string& pictureBytes) {
  char path[] = "/tmp/quillet-qr-test-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    ADD_FAILURE() << "cannot make a file for the picture";
    return std::nullopt;
  }
  const bool written =
      ::write(fd, pictureBytes.data(), pictureBytes.size()) == static_cast<ssize_t>(pictureBytes.size());
  ::close(fd);
  std::string output;
  int status = -1;
  if (written) {
    // --raw: the content alone, one line per code found.
    const std::string command = std::string("zbarimg -q --raw '") + path + "' 2>/dev/null";
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      std::array<char, 4096> buffer{};
      std::size_t n = 0;
      while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
      status = ::pclose(pipe);
    }
  }
  ::unlink(path);
  if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    ADD_FAILURE() << "zbarimg is missing (Debian package zbar-tools, see scripts/install-deps.sh)";
    return std::nullopt;
  }
  // zbarimg exits with 4 when it found no code.
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

}  // namespace quillet::test
