#pragma once
// The page's files, compiled into the program.
#include <string_view>

namespace quillet::web {

extern const std::string_view kPageHtml;
extern const std::string_view kPageCss;
extern const std::string_view kPageJs;

}  // namespace quillet::web
