#pragma once
// Date-time values are days since 1899-12-30 00:00 (local time), the fraction
// being the time of day.

namespace quillet {

double DateValueFromCivil(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace quillet
