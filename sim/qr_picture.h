#pragma once
// The picture of a sign-in QR code: the content encoded with libqrencode and
// drawn as a PNG, black modules on white with a four-module quiet zone.
#include <string>

namespace quillet::sim {

// The PNG's bytes; empty when the content cannot be encoded.
std::string QrCodePng(const std::string& content);

}  // namespace quillet::sim
