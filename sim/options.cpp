#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

#include "quillet/version.h"
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

}  // namespace

const char* FaultName(FaultKind kind) {
  for (const auto& [k, name] : FaultNames()) {
    if (k == kind) return name;
  }
  return "?";
}

std::string UsageText() {
  return _(
      "Usage: quillet-sim [options]\n"
      "A rehearsal booking service on loopback that answers like the 12306 service.\n"
      "\n"
      "  --host ADDRESS           address to bind (default 127.0.0.1)\n"
      "  --port N                 port; 0 takes a free one (default 0)\n"
      "  --seed N                 seed of trains, tokens and captchas (default 12306)\n"
      "  --account NAME:PASSWORD  add an account (repeatable); demo:demo1234 always exists\n"
      "  --captcha-cells LIST     fix the correct captcha tiles, e.g. 2,7 (default random)\n"
      "  --release-every SECONDS  give back a few tickets this often; 0 never (default 10)\n"
      "  --max-unpaid N           unpaid orders an account may hold (default 1)\n"
      "  --session-ttl SECONDS    idle time after which a session ends (default 1800)\n"
      "  --latency-ms N           delay every answer by N ms (default 0)\n"
      "  --fault-rate P           share of answers, 0 to 1, that get a fault (default 0)\n"
      "  --faults LIST            fault kinds to draw from (default all):\n"
      "                           delay,502,empty,truncated,garbage,drop,busy\n"
      "  --control                serve the /sim/ control endpoints\n"
      "  --tls-cert FILE          serve HTTPS with this certificate (PEM) ...\n"
      "  --tls-key FILE           ... and this private key (PEM)\n"
      "  --threads N              worker threads, one per open connection (default 128)\n"
      "  --clock-shift-ms N       run the service's clock N ms ahead of this machine's;\n"
      "                           negative: behind (default 0)\n"
      "  --sale DATE@MOMENT       the trains of travel date DATE (yyyy-mm-dd) go on sale at\n"
      "                           MOMENT (YYYY-MM-DD HH:MM:SS[.mmm], China Standard Time, on\n"
      "                           the service's clock); repeatable\n"
      "  --help                   show this text\n"
      "  --version                show the version\n"
      "\n"
      "The first line on standard output is \"listening on http://HOST:PORT\".\n");
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
    static const std::set<std::string> kWithValue = {
        "--host",       "--port",        "--seed",           "--account",    "--captcha-cells", "--release-every",
        "--max-unpaid", "--session-ttl", "--latency-ms",     "--fault-rate", "--faults",        "--tls-cert",
        "--tls-key",    "--threads",     "--clock-shift-ms", "--sale"};
    if (kWithValue.count(arg) == 0) {
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
      if (!opening) return bad("yyyy-mm-dd@YYYY-MM-DD HH:MM:SS[.mmm]");
      options.sales.push_back(*opening);
    }
  }
  if (options.tlsCert.empty() != options.tlsKey.empty()) {
    error = _("--tls-cert and --tls-key go together");
    return false;
  }
  return true;
}

}  // namespace quillet::sim
