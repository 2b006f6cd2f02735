#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

#include "quillet/version.h"
#include "service_behaviour.h"
#include "util/messages.h"

namespace quillet::sim {

namespace {

const std::vector<std::pair<FaultKind, const char*>>& FaultNames() {
  static const std::vector<std::pair<FaultKind, const char*>> kNames = {
      {FaultKind::kDelay, "delay"},         {FaultKind::kBadGateway, "502"},  {FaultKind::kEmpty, "empty"},
      {FaultKind::kTruncated, "truncated"}, {FaultKind::kGarbage, "garbage"}, {FaultKind::kDrop, "drop"},
      {FaultKind::kBusy, "busy"},
  };
  return kNames;
}

bool ParseInt(const std::string& text, long long lo, long long hi, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  value = v;
  return true;
}

bool ParseReal(const std::string& text, double lo, double hi, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
  value = v;
  return true;
}

std::vector<std::string> SplitComma(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) parts.push_back(part);
  return parts;
}

struct OptionEntry {
  const char* name;
  const char* value;  // empty for a switch
  const char* help;   // lines after the first are indented below it
};

// Every option, in the order --help lists them.
const std::vector<OptionEntry>& OptionTable() {
  static const std::vector<OptionEntry> kTable = {
      {"--host", "ADDRESS", N_("address to bind (default 127.0.0.1)")},
      {"--port", "N", N_("port; 0 takes a free one (default 0)")},
      {"--seed", "N", N_("seed of trains, tokens and captchas (default 12306)")},
      {"--account", "NAME:PASSWORD[:face]",
       N_("add an account (repeatable; :face: the waitlist refuses it until a face check); demo:demo1234 always "
          "exists")},
      {"--captcha-cells", "LIST", N_("fix the correct captcha tiles, e.g. 2,7 (default random)")},
      {"--release-every", "SECONDS", N_("give back a few tickets this often; 0 never (default 10)")},
      {"--max-unpaid", "N", N_("unpaid orders an account may hold (default 1)")},
      {"--session-ttl", "SECONDS", N_("idle time after which a session ends (default 1800)")},
      {"--qr-ttl", "SECONDS", N_("a sign-in QR code not yet confirmed expires after this\n(default 120)")},
      {"--max-sessions", "N", N_("sessions kept at most; the one idle longest goes first\n(default 10000)")},
      {"--latency-ms", "N", N_("delay every answer by N ms (default 0)")},
      {"--fault-rate", "P", N_("share of answers, 0 to 1, that get a fault (default 0)")},
      {"--faults", "LIST", N_("fault kinds to draw from (default all):\ndelay,502,empty,truncated,garbage,drop,busy")},
      {"--control", "", N_("serve the /sim/ control endpoints")},
      {"--tls-cert", "FILE", N_("serve HTTPS with this certificate (PEM) ...")},
      {"--tls-key", "FILE", N_("... and this private key (PEM)")},
      {"--read-timeout", "SECONDS",
       N_("time a request's head and body may take to arrive; a\nslower client is cut off (default 10)")},
      {"--threads", "N",
       N_("most worker threads, one per open connection, started as\nconnections come (default 1024)")},
      {"--clock-shift-ms", "N",
       N_("run the service's clock N ms ahead of this machine's;\nnegative: behind (default 0)")},
      {"--sale", "DATE@MOMENT",
       N_("the trains of travel date DATE (yyyy-mm-dd) go on sale at\nMOMENT (YYYY-MM-DD HH:MM:SS[.mmm], China "
          "Standard "
          "Time, on\n"
          "the service's clock); repeatable")},
      {"--presale-days", "N",
       N_("a travel date goes on sale N days ahead, counting the travel\nday, at its departure station's daily "
          "opening (default 15)")},
      {"--station-sale", "CODE@HH:MM",
       N_("the station with this telecode opens its sale daily at\nHH:MM (China Standard Time, on the service's "
          "clock);\nrepeatable (default: a time from 08:00 to 17:00 by station)")},
      {"--hours", "HH:MM-HH:MM",
       N_("take orders only within these daily hours (China Standard\nTime, on the service's clock; past midnight "
          "when the\nclose is earlier); outside them the order steps are refused\n(default always open)")},
      {"--query-path", "NAME",
       N_("serve the left-ticket query at /otn/NAME and answer the\nusual path with the service's redirect answer")},
      {"--throttle", "N",
       N_("a client (one session cookie from one address) sending more\nthan N queries in any second is throttled for "
          "10 s; "
          "0 never (default 0)")},
      {"--help", "", N_("show this text")},
      {"--version", "", N_("show the version")},
  };
  return kTable;
}

bool TakesValue(const std::string& name) {
  for (const OptionEntry& option : OptionTable()) {
    if (name == option.name) return *option.value != '\0';
  }
  return false;
}

}  // namespace

const char* FaultName(FaultKind kind) {
  for (const auto& [k, name] : FaultNames()) {
    if (k == kind) return name;
  }
  return "?";
}

std::string UsageText() {
  std::string text =
      _("Usage: quillet-sim [options]\n"
        "A rehearsal booking service on loopback that answers like the 12306 service.\n"
        "\n");
  for (const OptionEntry& option : OptionTable()) {
    std::string head = std::string("  ") + option.name + (*option.value ? " " : "") + option.value;
    head.resize(std::max<std::size_t>(head.size() + 1, 27), ' ');
    std::stringstream lines(::gettext(option.help));
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
      text += (first ? head : std::string(27, ' ')) + line + "\n";
      first = false;
    }
  }
  return text + _("\nThe first line on standard output is \"listening on http://HOST:PORT\".\n");
}

std::string VersionText() { return std::string("quillet-sim ") + kVersion + "\n"; }

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--version") {
      options.version = true;
      continue;
    }
    if (arg == "--control") {
      options.control = true;
      continue;
    }
    if (!TakesValue(arg)) {
      error = Format(_("unknown option: %s"), arg);
      return false;
    }
    if (i + 1 >= argc) {
      error = Format(_("option %s needs a value"), arg);
      return false;
    }
    const std::string value = argv[++i];
    long long n = 0;
    double real = 0;
    const auto bad = [&](const std::string& what) {
      error = Format(_("bad value for %s: '%s' (%s)"), arg, value, what);
      return false;
    };
    if (arg == "--host") {
      if (value.empty()) return bad(_("an address"));
      options.host = value;
    } else if (arg == "--port") {
      if (!ParseInt(value, 0, 65535, n)) return bad(_("0 to 65535"));
      options.port = static_cast<int>(n);
    } else if (arg == "--seed") {
      if (!ParseInt(value, 0, 9223372036854775807LL, n)) return bad(_("a non-negative integer"));
      options.seed = static_cast<std::uint64_t>(n);
    } else if (arg == "--account") {
      const std::size_t colon = value.find(':');
      if (colon == std::string::npos || colon == 0) return bad(_("NAME:PASSWORD"));
      options.accounts.push_back(value);
    } else if (arg == "--captcha-cells") {
      std::set<int> cells;
      for (const std::string& part : SplitComma(value)) {
        if (!ParseInt(part, 1, 8, n)) return bad(_("cell numbers 1 to 8, comma-separated"));
        cells.insert(static_cast<int>(n));
      }
      if (cells.empty()) return bad(_("at least one cell"));
      options.captchaCells.assign(cells.begin(), cells.end());
    } else if (arg == "--release-every") {
      if (!ParseReal(value, 0, 1e6, real)) return bad(_("seconds, 0 or more"));
      options.releaseEverySeconds = real;
    } else if (arg == "--max-unpaid") {
      if (!ParseInt(value, 1, 1000000, n)) return bad(_("1 or more"));
      options.maxUnpaid = static_cast<int>(n);
    } else if (arg == "--session-ttl") {
      if (!ParseReal(value, 0.001, 1e9, real)) return bad(_("seconds, more than 0"));
      options.sessionTtlSeconds = real;
    } else if (arg == "--max-sessions") {
      if (!ParseInt(value, 1, 10000000, n)) return bad("1 to 10000000");
      options.maxSessions = static_cast<int>(n);
    } else if (arg == "--read-timeout") {
      if (!ParseReal(value, 0.1, 3600, real)) return bad("seconds, 0.1 to 3600");
      options.readTimeoutSeconds = real;
    } else if (arg == "--qr-ttl") {
      if (!ParseReal(value, 0.001, 1e9, real)) return bad("seconds, more than 0");
      options.qrTtlSeconds = real;
    } else if (arg == "--latency-ms") {
      if (!ParseInt(value, 0, 600000, n)) return bad(_("0 to 600000"));
      options.latencyMs = static_cast<int>(n);
    } else if (arg == "--fault-rate") {
      if (!ParseReal(value, 0, 1, real)) return bad(_("0 to 1"));
      options.faultRate = real;
    } else if (arg == "--faults") {
      options.faults.clear();
      for (const std::string& part : SplitComma(value)) {
        bool known = false;
        for (const auto& [kind, name] : FaultNames()) {
          if (part == name) {
            options.faults.push_back(kind);
            known = true;
          }
        }
        if (!known) return bad(_("kinds among delay,502,empty,truncated,garbage,drop,busy"));
      }
      if (options.faults.empty()) return bad(_("at least one kind"));
    } else if (arg == "--tls-cert") {
      options.tlsCert = value;
    } else if (arg == "--tls-key") {
      options.tlsKey = value;
    } else if (arg == "--threads") {
      if (!ParseInt(value, 4, 4096, n)) return bad(_("4 to 4096"));
      options.threads = static_cast<int>(n);
    } else if (arg == "--clock-shift-ms") {
      // A year either way is more than any test needs, and keeps every time in range.
      if (!ParseInt(value, -31536000000LL, 31536000000LL, n)) return bad(_("milliseconds, within a year either way"));
      options.clockShiftMs = n;
    } else if (arg == "--sale") {
      const auto opening = ParseSaleOpening(value);
      if (!opening) return bad("yyyy-mm-dd@YYYY-MM-DD HH:MM:SS[.mmm], a moment in the years 2000 to 2099");
      options.sales.push_back(*opening);
    } else if (arg == "--presale-days") {
      if (!ParseInt(value, 1, 30, n)) return bad(_("1 to 30"));
      options.presaleDays = static_cast<int>(n);
    } else if (arg == "--station-sale") {
      const auto sale = ParseStationSale(value);
      if (!sale) return bad(_("CODE@HH:MM, a telecode of three capital letters"));
      options.stationSales.push_back(*sale);
    } else if (arg == "--hours") {
      if (!ParseDailyHours(value)) return bad(_("HH:MM-HH:MM"));
      options.hours = value;
    } else if (arg == "--query-path") {
      if (!ValidQueryPath(value))
        return bad(_("letters, digits, '/' and '_', at most 64 bytes, not starting with '/'"));
      options.queryPath = value;
    } else if (arg == "--throttle") {
      if (!ParseInt(value, 0, 1000000, n)) return bad(_("0 to 1000000"));
      options.throttle = static_cast<int>(n);
    }
  }
  if (options.tlsCert.empty() != options.tlsKey.empty()) {
    error = _("--tls-cert and --tls-key go together");
    return false;
  }
  return true;
}

}  // namespace quillet::sim
