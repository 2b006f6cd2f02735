#pragma once
// Reads the body of POST /sim/qr/scan: {"id": ..., "account": ..., "confirm": true|false}.
#include <optional>
#include <string>

#include "booking_service.h"

namespace quillet::sim {

// Nothing (and `error` set) when the body is not such an object; "confirm"
// may be left out to scan without answering yet.
std::optional<QrScan> ReadQrScan(const std::string& body, std::string& error);

}  // namespace quillet::sim
