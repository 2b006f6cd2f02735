#pragma once
// The command line of quillet-sim.
#include <cstdint>
#include <string>
#include <vector>

#include "sale_schedule.h"
#include "station_sales.h"

namespace quillet::sim {

// The kinds of fault --faults can name.
enum class FaultKind { kDelay, kBadGateway, kEmpty, kTruncated, kGarbage, kDrop, kBusy };

struct Options {
  std::string host = "127.0.0.1";
  int port = 0;
  std::uint64_t seed = 12306;
  std::vector<std::string> accounts;  // NAME:PASSWORD
  std::vector<int> captchaCells;      // fixed correct tiles, empty for random
  double releaseEverySeconds = 10;
  int maxUnpaid = 1;
  double sessionTtlSeconds = 1800;
  int maxSessions = 10000;    // the one idle longest goes first
  double qrTtlSeconds = 120;  // a sign-in QR code that is not confirmed expires after this
  int latencyMs = 0;
  double faultRate = 0;
  std::vector<FaultKind> faults;  // empty: all kinds
  bool control = false;
  std::string tlsCert;
  std::string tlsKey;
  double readTimeoutSeconds = 10;         // for a request's head and body
  int threads = 1024;                     // most at once; started as connections come
  std::int64_t clockShiftMs = 0;          // the service's clock runs this far ahead of the machine's
  std::vector<SaleOpening> sales;         // --sale, in the service's clock
  int presaleDays = 15;                   // --presale-days: days on sale, counting the travel day
  std::vector<StationSale> stationSales;  // --station-sale CODE@HH:MM
  std::string hours;                      // --hours HH:MM-HH:MM, China Standard Time; empty: always open
  std::string queryPath;                  // --query-path, relative to /otn/; empty: leftTicket/query
  int throttle = 0;  // --throttle: most queries per second of one client (session and address); 0: no limit
  bool help = false;
  bool version = false;
};

// Parses argv; on failure returns false with a message for the user.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

std::string UsageText();
std::string VersionText();

const char* FaultName(FaultKind kind);

}  // namespace quillet::sim
