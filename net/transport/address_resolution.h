// Turns the host and port texts that callers give into an IPv4 address and a port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pella {

// Host texts longer than this are refused.
constexpr std::size_t kMaxHostTextLength = 127;

// The value of the text's leading decimal number, as the C library's atoi reads it (leading
// blanks and one sign allowed), wrapping modulo 2^32 instead of overflowing; 0 when none.
int32_t LeadingNumber(const std::string& text);

// The IPv4 address (network byte order) of a host text. A text whose leading number is non-zero
// is taken for a dotted address and never looked up ("3dlab" fails); any other text is looked up
// as a name, and converted as a dotted address when the lookup finds nothing.
std::optional<uint32_t> ResolveHost(const std::string& host);

// The port (host byte order) of a port text: the low 16 bits of its leading number when those are
// non-zero ("104abc" is 104); otherwise the text is looked up as a service name, and an unknown
// service fails.
std::optional<uint16_t> ResolvePort(const std::string& port);

}  // namespace pella
