// The peers an archive knows: the destinations of C-MOVE, the callers storage commitment
// reports go back to, and who may call and use what. One peer a line, "AE HOST PORT
// [SERVICES]", "#" starts a comment; a port of 0 names a peer that is never called. HOST is a
// name, a dotted address or a CIDR range of the addresses the peer may call from; SERVICES is a
// comma-separated list of echo, store, find, move, get, commit (any case; all when absent).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pella {

// The services a peer may use, one bit each.
enum class PeerService : uint8_t { kEcho = 1, kStore = 2, kFind = 4, kMove = 8, kGet = 16, kCommit = 32 };
constexpr uint8_t kAllPeerServices = 63;

struct Peer {
    std::string aeTitle;
    std::string host;
    uint16_t port = 0;     // 0: never called
    std::string services;  // the optional fourth field, as written
    uint8_t allowed = kAllPeerServices;

    bool Allows(PeerService service) const { return (allowed & static_cast<uint8_t>(service)) != 0; }
};

struct PeersFile {
    std::vector<Peer> peers;
    // The peer with the AE title (compared without surrounding spaces); null when none.
    const Peer* Find(const std::string& aeTitle) const;
};

// Reads the text of a peers file. False (with `why` naming the line) for a line with fewer than
// three or more than four fields, an AE title of more than 16 characters, a host with a "/" that
// is not a CIDR range, a port that is not a number from 0 to 65535, an unknown service, or an AE
// title listed twice.
bool ParsePeers(const std::string& text, PeersFile& file, std::string& why);

// Reads the file (at most 1 MiB); false (with `why`) when it cannot be read or parsed.
bool LoadPeersFile(const std::string& path, PeersFile& file, std::string& why);

}  // namespace pella
