#pragma once
// A QR code as an SVG picture, for the page of a QR sign-in.
#include <string>
#include <string_view>

namespace quillet::web {

// Empty when the content cannot be encoded.
std::string QrSvg(std::string_view content);

}  // namespace quillet::web
