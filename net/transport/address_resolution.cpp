#include "net/transport/address_resolution.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cctype>
#include <memory>
#include <vector>

namespace pella {

namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* info) const noexcept { freeaddrinfo(info); }
};

// The first IPv4 address a name lookup gives, if any.
std::optional<uint32_t> LookUpName(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
    std::unique_ptr<addrinfo, AddrInfoDeleter> owner(found);
    for (const addrinfo* info = found; info != nullptr; info = info->ai_next) {
        if (info->ai_family == AF_INET && info->ai_addr != nullptr)
            return reinterpret_cast<const sockaddr_in*>(info->ai_addr)->sin_addr.s_addr;
    }
    return std::nullopt;
}

// A dotted IPv4 address in any of the forms inet_aton accepts ("127.0.0.1", "127.1").
std::optional<uint32_t> ConvertDotted(const std::string& host) {
    in_addr address{};
    if (inet_aton(host.c_str(), &address) == 0) return std::nullopt;
    return address.s_addr;
}

std::optional<uint16_t> LookUpService(const std::string& name) {
    servent entry{};
    servent* found = nullptr;
    std::vector<char> scratch(4096);
    if (getservbyname_r(name.c_str(), nullptr, &entry, scratch.data(), scratch.size(), &found) != 0 ||
        found == nullptr)
        return std::nullopt;
    return ntohs(static_cast<uint16_t>(found->s_port));
}

}  // namespace

int32_t LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

std::optional<uint32_t> ResolveHost(const std::string& host) {
    if (host.empty() || host.size() > kMaxHostTextLength) return std::nullopt;
    if (host.find('\0') != std::string::npos) return std::nullopt;
    if (LeadingNumber(host) == 0) {
        if (auto address = LookUpName(host)) return address;
    }
    return ConvertDotted(host);
}

std::optional<uint16_t> ResolvePort(const std::string& port) {
    auto number = static_cast<uint16_t>(static_cast<uint32_t>(LeadingNumber(port)) & 0xFFFFu);
    if (number != 0) return number;
    if (port.empty() || port.find('\0') != std::string::npos) return std::nullopt;
    return LookUpService(port);
}

}  // namespace pella
