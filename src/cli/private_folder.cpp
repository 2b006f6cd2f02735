#include "cli/private_folder.h"

#include <stdlib.h>
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
  if (runtimeDir != nullptr && *runtimeDir != '\0') path_ = MakeFolderIn(runtimeDir, error_);
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

}  // namespace quillet::cli
