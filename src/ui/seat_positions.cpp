#include "ui/seat_positions.h"

#include <string_view>

namespace quillet {
namespace {

struct SeatPosition {
  std::string_view code;  // the service's seat type code; "" is 无座
  int dialogBox;
  int gridColumn;
};

// 高级动卧, 动卧 and 高级软卧 have neither a box nor a column.
constexpr SeatPosition kPositions[] = {
    {"9", 1, 4}, {"M", 2, 5}, {"O", 3, 6}, {"4", 4, 7}, {"3", 5, 8}, {"2", 6, 9}, {"1", 7, 10}, {"", 8, 11},
};

const SeatPosition* PositionOf(const SeatType& seat) {
  for (const SeatPosition& position : kPositions) {
    if (position.code == seat.code) return &position;
  }
  return nullptr;
}

}  // namespace

int DialogBoxOf(const SeatType& seat) {
  const SeatPosition* position = PositionOf(seat);
  return position == nullptr ? 0 : position->dialogBox;
}

int GridColumnOf(const SeatType& seat) {
  const SeatPosition* position = PositionOf(seat);
  return position == nullptr ? 0 : position->gridColumn;
}

std::vector<std::string> DialogSeatNames() {
  std::vector<std::string> names(std::size(kPositions));
  for (const SeatType& type : SeatTypes()) {
    if (const int box = DialogBoxOf(type); box > 0) names[static_cast<std::size_t>(box - 1)] = type.name();
  }
  return names;
}

}  // namespace quillet
