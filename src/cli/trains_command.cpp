#include "cli/trains_command.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

#include "booking/client.h"
#include "cli/station_match.h"
#include "cli/travel_date.h"
#include "grab/order_tables.h"
#include "net/cookies.h"
#include "stations/station_directory.h"
#include "util/codepage.h"
#include "util/json_text.h"
#include "util/messages.h"

namespace quillet::cli {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Terminal columns of a UTF-8 text: wide (two columns) for CJK characters
// and full-width forms, one for the rest.
std::size_t Columns(const std::string& utf8) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if ((byte & 0xC0u) == 0x80u) continue;
    columns += byte >= 0xE1 ? 2 : 1;  // U+1000 and up: the scripts a station table holds are wide
  }
  return columns;
}

std::string PadTo(const std::string& utf8, std::size_t columns) {
  const std::size_t width = Columns(utf8);
  return utf8 + std::string(width < columns ? columns - width : 0, ' ');
}

// The classes a listing shows, in this order (that of the window's query
// grid); "" is 无座.
constexpr std::string_view kListedSeatCodes[] = {"9", "M", "O", "4", "3", "2", "1", ""};

// The classes a train offers, in the listing's order, with their tickets
// (UTF-8): those the service shows as "--" or leaves empty are not offered.
std::vector<std::pair<std::string, std::string>> OfferedClasses(const TrainRecord& train) {
  std::vector<const SeatType*> columns;
  for (const std::string_view code : kListedSeatCodes) {
    for (const SeatType& type : SeatTypes()) {
      if (type.code == code) columns.push_back(&type);
    }
  }
  std::vector<std::pair<std::string, std::string>> offered;
  for (const SeatType* type : columns) {
    const std::string& tickets = train.*type->tickets;
    if (tickets.empty() || tickets == "--") continue;
    offered.emplace_back(Utf8FromGbk(type->name()), Utf8FromGbk(tickets));
  }
  return offered;
}

bool Bookable(const TrainRecord& train) { return train.canWebBuy == "Y"; }

}  // namespace

std::string TrainTable(const std::vector<TrainRecord>& trains) {
  std::vector<std::vector<std::string>> rows = {{_("train"), _("departs"), _("arrives"), _("takes"), _("tickets")}};
  for (const TrainRecord& train : trains) {
    std::string classes;
    for (const auto& [name, tickets] : OfferedClasses(train)) {
      classes += (classes.empty() ? "" : "  ") + name + " " + tickets;
    }
    if (!Bookable(train)) classes += (classes.empty() ? "" : "  ") + std::string(_("(not bookable now)"));
    rows.push_back(
        {Utf8FromGbk(train.stationTrainCode), Utf8FromGbk(train.fromStationName) + " " + Utf8FromGbk(train.startTime),
         Utf8FromGbk(train.toStationName) + " " + Utf8FromGbk(train.arriveTime), Utf8FromGbk(train.duration), classes});
  }
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Columns(row[c]));
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c + 1 < row.size(); ++c) line += PadTo(row[c], widths[c]) + "  ";
    line += row.back();
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  return text;
}

std::string TrainJsonLines(const std::vector<TrainRecord>& trains) {
  std::string out;
  for (const TrainRecord& train : trains) {
    out += "{\"train\":" + JsonString(train.stationTrainCode) + ",\"from\":" + JsonString(train.fromStationName) +
           ",\"from_code\":" + JsonString(train.fromTelecode) + ",\"to\":" + JsonString(train.toStationName) +
           ",\"to_code\":" + JsonString(train.toTelecode) + ",\"departs\":" + JsonString(train.startTime) +
           ",\"arrives\":" + JsonString(train.arriveTime) + ",\"takes\":" + JsonString(train.duration) +
           ",\"bookable\":" + (Bookable(train) ? "true" : "false") + ",\"tickets\":{";
    bool first = true;
    for (const auto& [name, tickets] : OfferedClasses(train)) {
      out += (first ? "" : ",") + JsonStringFromUtf8(name) + ":" + JsonStringFromUtf8(tickets);
      first = false;
    }
    out += "}}\n";
  }
  return out;
}

int RunTrains(const TrainsRequest& request, bool json, std::ostream& out, std::ostream& err,
              std::chrono::sys_days today) {
  const auto usage = [&](const std::string& problem) {
    err << "quillet-grab: " << problem << "\n";
    return kExitUsage;
  };
  const std::shared_ptr<const StationDirectory> stations = BuiltInStations();
  const StationChoice from = ChooseStation(*stations, request.from);
  if (from.station == nullptr) return usage(Format(_("from: %s"), from.problem));
  const StationChoice to = ChooseStation(*stations, request.to);
  if (to.station == nullptr) return usage(Format(_("to: %s"), to.problem));
  if (from.station == to.station) {
    return usage(Format(_("from and to are the same station, %s"), Utf8FromGbk(from.station->name)));
  }
  const TravelDate date = ReadTravelDate(request.date, today);
  if (!date.problem.empty()) return usage(date.problem);
  std::string service = request.service.empty() ? std::string(kRealServiceAddress) : request.service;
  if (service.rfind("https://", 0) != 0 && service.rfind("http://", 0) != 0) {
    return usage(_("--service must be an address beginning with https:// or http://"));
  }
  while (service.back() == '/') service.pop_back();
  std::error_code error;
  if (!request.caFile.empty() && !std::filesystem::is_regular_file(request.caFile, error)) {
    return usage(Format(_("--ca-file \"%s\" is not a file"), request.caFile));
  }

  CookieJar jar;
  BookingClient client(ServiceSettings{service, request.caFile, {}}, jar, stations);
  const TrainsResult result =
      client.QueryLeftTickets(request.student, date.date, from.station->telecode, to.station->telecode);
  if (!result.Done()) {
    if (result.answer.kind == AnswerKind::kNotSignedIn) {
      err << "quillet-grab: "
          << _("the service lists trains only after a sign-in; quillet-grab trains does not sign in, "
               "so it cannot list them (a plan's wishes query after signing in)")
          << "\n";
      return kExitFailure;
    }
    err << "quillet-grab: " << Format(_("the query failed: %s"), Utf8FromGbk(result.message)) << "\n";
    return kExitFailure;
  }
  if (json) {
    out << TrainJsonLines(result.trains) << std::flush;
    return 0;
  }
  const std::string fromName = Utf8FromGbk(from.station->name) + " (" + from.station->telecode + ")";
  const std::string toName = Utf8FromGbk(to.station->name) + " (" + to.station->telecode + ")";
  if (result.trains.empty()) {
    out << Format(_("No trains from %s to %s on %s.\n"), fromName, toName, date.date) << std::flush;
    return 0;
  }
  out << Format(_("Trains from %s to %s on %s (%s):\n"), fromName, toName, date.date,
                std::to_string(result.trains.size()))
      << TrainTable(result.trains) << std::flush;
  return 0;
}

}  // namespace quillet::cli
