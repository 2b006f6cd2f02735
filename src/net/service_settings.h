#pragma once
// Where the booking service is and how it is reached. One value serves every
// part that talks to it or beside it: the booking client, the probe of the
// service's clock and the webhook.
#include <string>

namespace quillet {

inline constexpr char kRealServiceAddress[] = "https://kyfw.12306.cn";

struct ServiceSettings {
  std::string address = kRealServiceAddress;  // scheme and host, without a trailing slash
  std::string caFile;                         // extra certificate authority bundle; empty: the system store only
  std::string proxy;                          // empty: none, not even the environment's
};

}  // namespace quillet
