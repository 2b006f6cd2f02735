#pragma once
// Where the window shows each seat type: the order dialog's seat boxes
// 选择框1..8 and the query grid's columns. No Qt here.
#include <string>
#include <vector>

#include "grab/order_tables.h"

namespace quillet {

// n of the dialog's 选择框n; 0 when the seat type has no box.
int DialogBoxOf(const SeatType& seat);
// Column of the query grid; 0 when the seat type has none.
int GridColumnOf(const SeatType& seat);
// The eight dialog seat names, in box order 选择框1..8.
std::vector<std::string> DialogSeatNames();

}  // namespace quillet
