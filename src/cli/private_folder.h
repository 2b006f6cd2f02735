#pragma once
// A folder only this user can enter (0700), for files such as the captcha
// pictures: under $XDG_RUNTIME_DIR when there is one, else under the
// temporary folder. It is removed with everything in it when the object
// goes, or by RemoveNow (for a program that must leave at once).
#include <mutex>
#include <string>
#include <string_view>

namespace quillet::cli {

class PrivateFolder {
 public:
  // `runtimeDir` and `tempDir` as found in XDG_RUNTIME_DIR and TMPDIR (null
  // or empty when unset; the temporary folder is then /tmp).
  PrivateFolder(const char* runtimeDir, const char* tempDir);
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // Empty when no folder could be made.
  const std::string& Path() const { return path_; }
  std::string Error() const { return error_; }
  // Any thread; later calls do nothing.
  void RemoveNow();
  struct Saved {
    std::string path;   // set on success
    std::string error;  // set on failure
  };
  // Writes the bytes to a new file named after `stem` with `suffix`.
  Saved Save(std::string_view bytes, const std::string& stem, const std::string& suffix);
  // Removes one file made by Save (a picture that is no longer current).
  void Remove(const std::string& path);

 private:
  std::string path_;
  std::string error_;
  std::mutex mutex_;
  bool removed_ = false;
  int counter_ = 0;
};

}  // namespace quillet::cli
