// Which source addresses a host text admits: a CIDR range ("10.1.0.0/16"), one dotted address,
// or a host name, whose IPv4 address is looked up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pella {

struct AddressRange {
    uint32_t network = 0;  // host byte order, the bits outside the prefix cleared
    int prefixLength = 32;

    bool Contains(uint32_t address) const;
};

// The range of a "a.b.c.d/n" text (n from 0 to 32); nothing when the text is not one.
std::optional<AddressRange> ParseAddressRange(const std::string& text);

// True when `dottedAddress` (the peer's, "a.b.c.d") is admitted by `host`: inside its range, equal
// to its dotted address, or equal to the address its name resolves to. False for anything that
// cannot be read or resolved.
bool HostAdmits(const std::string& host, const std::string& dottedAddress);

}  // namespace pella
