#pragma once
// The words quillet-grab and quillet-sim say to the person: English in the
// source, other languages from the gettext catalogue "quillet", chosen by
// the locale (LC_ALL, LC_MESSAGES, LANG, LANGUAGE). Texts of the booking
// service and of the window are not translated.
#include <libintl.h>

#include <string>
#include <string_view>
#include <vector>

// The usual gettext marks: _() translates now, N_() marks a text that is
// translated where it is used.
#define _(text) ::gettext(text)
#define N_(text) text

namespace quillet {

inline constexpr char kMessagesDomain[] = "quillet";

// Chooses the language from the environment and finds the catalogue: in the
// build tree for a program run from there, else where it is installed beside
// the program (QUILLET_LOCALEDIR overrides both). Messages are UTF-8 whatever the
// locale's character set. Call once, before any thread starts.
void SetUpMessages();

// printf-like, for texts only: "%s" takes the next argument, "%2$s" the
// second (translations may reorder), "%%" is a percent sign.
std::string FormatList(std::string_view pattern, const std::vector<std::string>& args);
template <typename... Args>
std::string Format(std::string_view pattern, const Args&... args) {
  return FormatList(pattern, std::vector<std::string>{std::string(args)...});
}

}  // namespace quillet
