#include "net/transport/address_range.h"

#include <arpa/inet.h>

#include "net/transport/address_resolution.h"

namespace pella {

namespace {

// The address of an exact dotted text, host byte order.
std::optional<uint32_t> DottedAddress(const std::string& text) {
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

uint32_t PrefixMask(int prefixLength) {
    return prefixLength == 0 ? 0u : ~0u << (32 - prefixLength);
}

}  // namespace

bool AddressRange::Contains(uint32_t address) const {
    return (address & PrefixMask(prefixLength)) == network;
}

std::optional<AddressRange> ParseAddressRange(const std::string& text) {
    std::size_t slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    std::string bits = text.substr(slash + 1);
    if (bits.empty() || bits.size() > 2 || bits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int prefixLength = std::stoi(bits);
    std::optional<uint32_t> address = DottedAddress(text.substr(0, slash));
    if (!address || prefixLength > 32) return std::nullopt;
    return AddressRange{*address & PrefixMask(prefixLength), prefixLength};
}

bool HostAdmits(const std::string& host, const std::string& dottedAddress) {
    std::optional<uint32_t> peer = DottedAddress(dottedAddress);
    if (!peer) return false;
    if (host.find('/') != std::string::npos) {
        std::optional<AddressRange> range = ParseAddressRange(host);
        return range && range->Contains(*peer);
    }
    if (std::optional<uint32_t> exact = DottedAddress(host)) return *exact == *peer;
    std::optional<uint32_t> resolved = ResolveHost(host);  // network byte order
    return resolved && ntohl(*resolved) == *peer;
}

}  // namespace pella
