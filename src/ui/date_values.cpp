#include "ui/date_values.h"

#include <algorithm>
#include <cmath>

namespace quillet {

double ClampDateValue(double value) {
  constexpr double kFirst = -657434.0;  // 0100-01-01
  constexpr double kLast = 2958465.0;   // 9999-12-31
  if (std::isnan(value)) return kFirst;
  return std::clamp(value, kFirst, kLast);
}

double LinearDayValue(double value) {
  if (value >= 0) return value;
  const double days = std::trunc(value);
  return days - (value - days);
}

}  // namespace quillet
