// The left-ticket answer reader on arbitrary answers: the full reading of the
// decoded answer, and the grab pass's reading of the raw answer for some
// trains, which must agree with it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "booking/answers.h"
#include "booking/texts.h"
#include "fuzz_input.h"
#include "net/encoding.h"
#include "stations/station_directory.h"

namespace {

bool SameRecord(const quillet::TrainRecord& a, const quillet::TrainRecord& b) {
  return a.stationTrainCode == b.stationTrainCode && a.trainNo == b.trainNo && a.startTime == b.startTime &&
         a.arriveTime == b.arriveTime && a.fromStationName == b.fromStationName && a.fromTelecode == b.fromTelecode &&
         a.toStationName == b.toStationName && a.toTelecode == b.toTelecode && a.duration == b.duration &&
         a.canWebBuy == b.canWebBuy && a.leftTicket == b.leftTicket && a.businessSeat == b.businessSeat &&
         a.firstClassSeat == b.firstClassSeat && a.secondClassSeat == b.secondClassSeat && a.hardSeat == b.hardSeat &&
         a.hardSleeper == b.hardSleeper && a.noSeat == b.noSeat && a.seatCount25 == b.seatCount25 &&
         a.softSeat == b.softSeat && a.softSleeper == b.softSleeper && a.deluxeSoftSleeper == b.deluxeSoftSleeper &&
         a.otherSeat == b.otherSeat && a.secretStr == b.secretStr && a.trainLocation == b.trainLocation;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quillet::StationDirectory* const stations = [] {
    auto* directory = new quillet::StationDirectory;
    directory->LoadStations();
    return directory;
  }();
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  // The readers see what the client sees: the service's bytes decoded.
  std::string answer = quillet::Utf8BytesToText(raw);
  const std::string original = answer;
  std::vector<quillet::TrainRecord> records;
  const quillet::AnswerVerdict result = quillet::ReadLeftTickets(answer, *stations, records);
  // What the answer is cut down to always comes from the answer itself.
  quillet::fuzz::Require(answer.size() <= original.size());
  // A train's fields are pieces of the answer, its secret among them.
  for (const quillet::TrainRecord& record : records)
    quillet::fuzz::Require(original.find(record.secretStr) != std::string::npos);

  // Wanted: a fixed code and the code of the first train read.
  std::vector<std::string> codes = {"G1"};
  if (!records.empty()) codes.push_back(records.front().stationTrainCode);
  std::vector<quillet::TrainRecord> wanted;
  std::string_view list;
  if (quillet::ReadWantedLeftTickets(raw, codes, *stations, wanted, list)) {
    quillet::fuzz::Require(result.Accepted());
    quillet::fuzz::Require(quillet::Utf8BytesToText(list) == answer);
    std::vector<quillet::TrainRecord> expected;
    std::copy_if(records.begin(), records.end(), std::back_inserter(expected), [&](const quillet::TrainRecord& r) {
      return std::find(codes.begin(), codes.end(), r.stationTrainCode) != codes.end();
    });
    quillet::fuzz::Require(std::equal(wanted.begin(), wanted.end(), expected.begin(), expected.end(), SameRecord));
  } else {
    quillet::fuzz::Require(wanted.empty());
  }
  return 0;
}
