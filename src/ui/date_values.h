#pragma once
// Date values (days since 1899-12-30, the fraction being the time of day) as
// the query page compares them.

namespace quillet {

// Limits a date value to 0100-01-01 .. 9999-12-31.
double ClampDateValue(double value);
// A value that grows with time also before 1899-12-30, where the stored
// form counts the days backwards but the time of day forwards.
double LinearDayValue(double value);

}  // namespace quillet
