#pragma once
// Date-time values are days since 1899-12-30 00:00 (local time), the fraction
// being the time of day.
#include <optional>
#include <string>

namespace quillet {

struct CivilDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int weekday = 6;  // 0 = Sunday
};

double DateValueFromCivil(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// False when the value lies outside 0100-01-01 .. 9999-12-31.
bool CivilFromDateValue(double value, CivilDateTime& out);
double NowDateValue();        // current local date-time
CivilDateTime NowCivil();      // current local date-time, with milliseconds

// style 0..3 (others count as 0); part 1..5 (others: date and time).
std::string FormatDateTime(std::optional<double> dateTime, int style, int part);
// The same with the clock given instead of read from the user's locale.
std::string FormatDateTime(std::optional<double> dateTime, int style, int part, bool use24HourClock);
// The user's LC_TIME setting: false when its time format uses a 12-hour clock.
bool Is24HourClock();
// True unless the strftime format shows a 12-hour clock (%I, %l, %r, %p, %P).
bool TimeFormatIs24Hour(const char* strftimeFormat);
std::string FormatWithPatterns(double dateTime, const std::string& datePattern, const std::string& timePattern);

}  // namespace quillet
