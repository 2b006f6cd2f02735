#pragma once
#include <string_view>

namespace quillet {

// The built-in station table: GBK text, 2751 lines separated by CR LF,
// six '|'-separated fields per line. Generated into the build from data/.
std::string_view EmbeddedStationTable();

}  // namespace quillet
