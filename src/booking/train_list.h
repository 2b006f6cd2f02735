#pragma once
// The left-ticket answer's result list: quoted train texts whose fields are
// separated by "|". Both kinds of mark are looked for at character starts
// only, so the trail byte of a double-byte character never counts as one.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "booking/records.h"
#include "stations/station_directory.h"

namespace quillet::train_list {

inline constexpr std::size_t kTrainPieces = 33;  // pieces 0 to 32 are read
using TrainPieces = std::array<std::string_view, kTrainPieces>;

// The first kTrainPieces pieces of a train text split at "|" (empty pieces
// between separators count, none follows a final separator); returns how
// many there are.
std::size_t SplitTrainText(std::string_view text, TrainPieces& pieces);

// Calls visit(context, pieces) for every train text of a result list, in
// order: the texts between two quotes, trimmed of spaces, except empty ones
// and the "," between two quoted texts; a text with fewer than kTrainPieces
// pieces is left out. The pieces are views into `list`, valid during the call.
using TrainVisitor = void (*)(void* context, const TrainPieces& pieces);
void ForEachTrainText(std::string_view list, TrainVisitor visit, void* context);

template <typename Visit>
void ForEachTrainText(std::string_view list, Visit&& visit) {
  using VisitType = std::remove_reference_t<Visit>;
  ForEachTrainText(
      list, [](void* context, const TrainPieces& pieces) { (*static_cast<VisitType*>(context))(pieces); },
      static_cast<void*>(&visit));
}

// The same visits for a result list still in UTF-8, as the service sends
// it, but only for the train texts whose piece 3 (the station train code)
// is one of `codes` (program text); only those texts are converted. The list
// must convert one character at a time (GbkFromUtf8GoesByCharacter): then
// the pieces are those ForEachTrainText gives for the converted list.
void ForEachWantedTrainText(std::string_view utf8List, std::span<const std::string> codes, TrainVisitor visit,
                            void* context);

template <typename Visit>
void ForEachWantedTrainText(std::string_view utf8List, std::span<const std::string> codes, Visit&& visit) {
  using VisitType = std::remove_reference_t<Visit>;
  ForEachWantedTrainText(
      utf8List, codes, [](void* context, const TrainPieces& pieces) { (*static_cast<VisitType*>(context))(pieces); },
      static_cast<void*>(&visit));
}

// Station names by telecode for the trains of one answer.
class StationNames {
 public:
  explicit StationNames(const StationDirectory& stations) : stations_(stations) {}
  // The station's name, or the telecode itself when no station has it.
  std::string_view NameFor(std::string_view telecode) const {
    const std::string* name = stations_.FindNameForTelecode(telecode);
    return name == nullptr ? telecode : std::string_view(*name);
  }

 private:
  const StationDirectory& stations_;
};

TrainRecord MakeTrainRecord(const TrainPieces& pieces, const StationNames& names);

}  // namespace quillet::train_list
