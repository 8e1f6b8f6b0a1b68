// The values the anonymizer writes in place of identifying ones.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pella {

// A harmless value of the VR, padded to even length: a fixed text for text VRs, 19000101 for
// dates, 000000 for times, 0 for numbers in text, zero bytes for one binary number; empty for
// the VRs without a sensible dummy (bulk data, UIDs, unknown VRs).
std::string DummyValue(std::string_view vr);

// A DA value ("YYYYMMDD", several separated by "\") or, with `dateTime`, a DT value (a date,
// then a time and offset) with every date moved by `days`; the rest of a DT value stays.
// Nothing when a value does not start with a whole calendar date or holds more than a date
// (a year alone, a range, an old "YYYY.MM.DD" form): such a value cannot be moved and must
// not be kept. The result is padded to even length with a space.
std::optional<std::string> ShiftedDates(std::string_view value, int days, bool dateTime);

}  // namespace pella
