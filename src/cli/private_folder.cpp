#include "cli/private_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quillet::cli {
namespace {

std::string MakeFolderIn(const std::string& parent, std::string& error) {
  std::string pattern = parent + "/quillet-grab-" + std::to_string(::getpid()) + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {  // mkdtemp makes it 0700
    error = "cannot create a private folder in " + parent + ": " + std::strerror(errno);
    return {};
  }
  return pattern;
}

}  // namespace

PrivateFolder::PrivateFolder(const char* runtimeDir, const char* tempDir) {
  if (runtimeDir != nullptr && *runtimeDir == '/') path_ = MakeFolderIn(runtimeDir, error_);
  if (path_.empty()) {
    path_ = MakeFolderIn(tempDir != nullptr && *tempDir != '\0' ? std::string(tempDir) : std::string("/tmp"), error_);
  }
  if (!path_.empty()) error_.clear();
}

PrivateFolder::~PrivateFolder() { RemoveNow(); }

void PrivateFolder::RemoveNow() {
  std::lock_guard lock(mutex_);
  if (removed_ || path_.empty()) return;
  removed_ = true;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

PrivateFolder::Saved PrivateFolder::Save(std::string_view bytes, const std::string& stem, const std::string& suffix) {
  if (path_.empty()) return {{}, error_};
  const std::string path = path_ + "/" + stem + "-" + std::to_string(++counter_) + suffix;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return {{}, "cannot create " + path + ": " + std::strerror(errno)};
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string reason = std::strerror(errno);
      ::close(fd);
      ::unlink(path.c_str());
      return {{}, "cannot write " + path + ": " + reason};
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return {path, {}};
}

void PrivateFolder::Remove(const std::string& path) {
  if (!path.empty() && !path_.empty() && path.rfind(path_ + "/", 0) == 0) ::unlink(path.c_str());
}

}  // namespace quillet::cli
