#include "booking/seat_choice.h"

#include <array>

#include "booking/texts.h"

namespace quillet {

std::optional<SeatPosition> SeatPositionNamed(std::string_view letter) {
  if (letter.size() != 1) return std::nullopt;
  switch (letter.front()) {
    case 'A':
      return SeatPosition::kA;
    case 'B':
      return SeatPosition::kB;
    case 'C':
      return SeatPosition::kC;
    case 'D':
      return SeatPosition::kD;
    case 'F':
      return SeatPosition::kF;
    default:
      return std::nullopt;
  }
}

std::optional<Berth> BerthNamed(std::string_view name) {
  for (const Berth berth : {Berth::kLower, Berth::kMiddle, Berth::kUpper}) {
    if (name == BerthName(berth)) return berth;
  }
  return std::nullopt;
}

const std::string& BerthName(Berth berth) {
  switch (berth) {
    case Berth::kLower:
      return booking_texts::LowerBerth();
    case Berth::kMiddle:
      return booking_texts::MiddleBerth();
    case Berth::kUpper:
      break;
  }
  return booking_texts::UpperBerth();
}

std::string_view PositionsOfSeatClass(std::string_view seatCode) {
  if (seatCode == "9") return "ACF";
  if (seatCode == "M") return "ACDF";
  if (seatCode == "O") return "ABCDF";
  return {};
}

std::span<const Berth> BerthsOfSeatClass(std::string_view seatCode) {
  static constexpr std::array<Berth, 3> kThree = {Berth::kLower, Berth::kMiddle, Berth::kUpper};
  static constexpr std::array<Berth, 2> kTwo = {Berth::kLower, Berth::kUpper};
  if (seatCode == "3") return kThree;  // 硬卧
  if (seatCode == "4" || seatCode == "6" || seatCode == "5" || seatCode == "A") return kTwo;
  return {};
}

std::string ChooseSeatsText(std::span<const SeatPosition> positions) {
  std::string text;
  int row = 1;
  std::string rowLetters;
  for (const SeatPosition position : positions) {
    const char letter = static_cast<char>(position);
    if (rowLetters.find(letter) != std::string::npos) {
      ++row;
      rowLetters.clear();
    }
    rowLetters.push_back(letter);
    text += std::to_string(row);
    text.push_back(letter);
  }
  return text;
}

std::string SeatDetailTypeText(std::span<const Berth> berths) {
  std::array<int, 3> counts{};  // lower, middle, upper
  for (const Berth berth : berths) {
    int& count = counts[berth == Berth::kLower ? 0 : berth == Berth::kMiddle ? 1 : 2];
    if (count < 9) ++count;
  }
  std::string text;
  for (const int count : counts) text.push_back(static_cast<char>('0' + count));
  return text;
}

}  // namespace quillet
