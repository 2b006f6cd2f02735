#pragma once
// Reads QR codes back with zbarimg (Debian's zbar-tools), as a phone would.
#include <optional>
#include <string>

namespace quillet::test {

// The content of the one QR code in the picture (PNG or PGM bytes); nothing
// when zbarimg finds none. A missing zbarimg fails the test.
std::optional<std::string> DecodeQrPicture(const std::string& pictureBytes);

}  // namespace quillet::test
