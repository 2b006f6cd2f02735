#pragma once
// Where on the train a party asks to sit: seat positions (the letters of a
// row of seats) and sleeper berths, and how the order's confirmation carries
// them (choose_seats, seatDetailType).
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillet {

// The letters the service gives the seats of a row: A and F by the window,
// C and D by the aisle, B in the middle.
enum class SeatPosition : char { kA = 'A', kB = 'B', kC = 'C', kD = 'D', kF = 'F' };

enum class Berth { kLower, kMiddle, kUpper };

// "A".."F" (one upper-case letter of the five); none otherwise.
std::optional<SeatPosition> SeatPositionNamed(std::string_view letter);
// 下铺, 中铺, 上铺 in program text; none otherwise.
std::optional<Berth> BerthNamed(std::string_view name);
// Program text of a berth, 下铺.
const std::string& BerthName(Berth berth);

// The positions a seat class has, in row order ("ACF" for 商务座, "ACDF"
// for 一等座, "ABCDF" for 二等座); empty for a class without them.
std::string_view PositionsOfSeatClass(std::string_view seatCode);
// The berths of a sleeper class; empty for a class without berths.
std::span<const Berth> BerthsOfSeatClass(std::string_view seatCode);

// choose_seats: one row number and letter per passenger, in order. A letter
// already taken in the row starts the next row, so ["F", "A"] sits in one
// row ("1F1A") and ["F", "F"] in two ("1F2F"). Empty: no wish.
std::string ChooseSeatsText(std::span<const SeatPosition> positions);
// seatDetailType: how many lower, middle and upper berths, one digit each
// ("000" with no wish; a count above 9 is written as 9).
std::string SeatDetailTypeText(std::span<const Berth> berths);

}  // namespace quillet
