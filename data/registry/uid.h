// The one rule for what counts as a UID.
#pragma once

#include <string_view>

namespace pella {

constexpr std::size_t kMaxUidLength = 64;

// The text without one trailing zero byte or space (the padding of an odd-length value).
std::string_view WithoutUidPadding(std::string_view text);

// After removing one trailing zero byte or space (the padding of an odd-length value): 1 to 64
// characters of digit runs separated by single dots, no run but "0" starting with a zero.
// Refuses ".", "..", empty components, leading zeros ("01.2"), spaces, control characters and
// embedded zero bytes: anything after an inner zero byte makes the text invalid, so callers
// must pass the whole value, not the text up to its first zero byte.
bool IsValidUid(std::string_view text);

}  // namespace pella

#include <string>

namespace pella {

// A new UID that no other system makes: "2.25." and a random 128-bit number in decimal.
std::string NewUid();

}  // namespace pella
