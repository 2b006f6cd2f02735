#include "util/messages.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quillet {
namespace {

std::string ExecutablePath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::string LocaleDirectory() {
  if (const char* chosen = std::getenv("QUILLET_LOCALEDIR"); chosen != nullptr && *chosen != '\0') return chosen;
  const std::string program = ExecutablePath();
  // Run from a build tree (a folder or two below the one that holds
  // CMakeCache.txt): its own catalogues. No path of the build machine is
  // compiled in, so installed programs carry none.
  if (!program.empty()) {
    std::filesystem::path folder = std::filesystem::path(program).parent_path();
    for (int up = 0; up < 3 && folder.has_relative_path(); ++up, folder = folder.parent_path()) {
      std::error_code error;
      if (std::filesystem::is_regular_file(folder / "CMakeCache.txt", error)) {
        return (folder / QUILLET_BUILD_LOCALE_FOLDER).string();
      }
    }
  }
  // Installed: beside the program's bin folder (/usr/bin and /usr/share/locale,
  // whatever prefix the package or `cmake --install` chose).
  if (!program.empty()) {
    const std::filesystem::path beside =
        std::filesystem::path(program).parent_path().parent_path() / QUILLET_RELATIVE_LOCALEDIR;
    std::error_code error;
    if (std::filesystem::is_directory(beside, error)) return beside.string();
  }
  return QUILLET_INSTALLED_LOCALEDIR;
}

// The locale name that decides the messages, as POSIX orders the variables.
std::string MessagesLocaleName() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return value;
  }
  return {};
}

}  // namespace

void SetUpMessages() {
  // Only the messages follow the locale: numbers and character classes stay
  // those of "C", which the service's formats and the option parsers expect.
  if (std::setlocale(LC_MESSAGES, "") == nullptr) {
    // The person's locale is not generated on this machine (a server often
    // has only C.UTF-8). Its language is still known: gettext takes it from
    // LANGUAGE under any locale other than plain "C".
    const std::string name = MessagesLocaleName();
    const std::string language = name.substr(0, name.find_first_of(".@"));
    if (!language.empty() && language != "C" && language != "POSIX" &&
        std::setlocale(LC_MESSAGES, "C.UTF-8") != nullptr) {
      const char* listed = std::getenv("LANGUAGE");
      if (listed == nullptr || *listed == '\0') setenv("LANGUAGE", language.c_str(), 1);
    }
  }
  bindtextdomain(kMessagesDomain, LocaleDirectory().c_str());
  bind_textdomain_codeset(kMessagesDomain, "UTF-8");
  textdomain(kMessagesDomain);
}

std::string FormatList(std::string_view pattern, const std::vector<std::string>& args) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 == pattern.size()) {
      out += pattern[i];
      continue;
    }
    const char c = pattern[i + 1];
    if (c == '%') {
      out += '%';
      ++i;
    } else if (c == 's') {
      if (next < args.size()) out += args[next];
      ++next;
      ++i;
    } else if (c >= '1' && c <= '9' && i + 3 < pattern.size() && pattern[i + 2] == '$' && pattern[i + 3] == 's') {
      const std::size_t index = static_cast<std::size_t>(c - '1');
      if (index < args.size()) out += args[index];
      i += 3;
    } else {
      out += '%';
    }
  }
  return out;
}

}  // namespace quillet
