// The process-wide short date format: how the library writes a calendar date as text (the
// filing date in the study index). A host may change it once at start-up; the test front end
// sets "ddmmyyyy".
#pragma once

#include <ctime>
#include <string>

namespace pella {

// The default format: day, month and four-digit year, two digits each for day and month,
// without separators ("ddmmyyyy", so 5 March 2024 is "05032024").
inline constexpr const char* kDefaultShortDateFormat = "ddmmyyyy";

// Replaces the process-wide format; thread-safe.
void SetShortDateFormat(const std::string& format);
std::string ShortDateFormat();

// Formats a date with a pattern: "d" day, "dd" day with two digits, "m" month, "mm" month with
// two digits, "yy" two-digit year, "yyyy" (or any run of three or more y) four-digit year.
// Letters in either case; longer runs of "d" or "m" count as two; every other character is
// copied as it stands.
std::string FormatDate(const std::tm& date, const std::string& format);

// Today's local date in the process-wide format.
std::string TodayAsShortDate();

}  // namespace pella
