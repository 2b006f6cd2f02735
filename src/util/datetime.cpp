#include "util/datetime.h"

namespace quillet {
namespace {

constexpr long long kEpochOffset = 25569;  // 1970-01-01 as a day number from 1899-12-30

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

double DateValueFromCivil(int year, int month, int day, int hour, int minute, int second) {
  const long long dayNumber = DaysFromCivil(year, month, day) + kEpochOffset;
  const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return dayNumber >= 0 ? static_cast<double>(dayNumber) + fraction : static_cast<double>(dayNumber) - fraction;
}

}  // namespace quillet
