#pragma once
// The browser's date text that the queue-count request carries.
#include <string>
#include <string_view>

namespace quillet {

// A millisecond timestamp (leading decimal digits, read as a browser reads
// them) rendered in China Standard Time as "Tue Dec 9 2014 14:30:00 GMT+0800",
// percent-encoded with spaces as "+", followed by the encoded zone name.
// Empty when the text holds no number or a date the browser cannot show.
std::string BrowserDateText(std::string_view timestamp);

// Milliseconds since the Unix epoch as decimal text (13 digits today);
// secondsOnly keeps the first 10 characters.
std::string MillisecondTimestamp(bool secondsOnly = false);

}  // namespace quillet
