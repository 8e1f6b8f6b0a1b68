// The peers an archive knows: the destinations of C-MOVE and the callers storage commitment
// reports go back to. One peer a line, "AE HOST PORT [SERVICES]", "#" starts a comment; a port
// of 0 names a peer that is never called.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pella {

struct Peer {
    std::string aeTitle;
    std::string host;
    uint16_t port = 0;     // 0: never called
    std::string services;  // the optional fourth field, as written
};

struct PeersFile {
    std::vector<Peer> peers;
    // The peer with the AE title (compared without surrounding spaces); null when none.
    const Peer* Find(const std::string& aeTitle) const;
};

// Reads the text of a peers file. False (with `why` naming the line) for a line with fewer than
// three or more than four fields, an AE title of more than 16 characters, a port that is not a
// number from 0 to 65535, or an AE title listed twice.
bool ParsePeers(const std::string& text, PeersFile& file, std::string& why);

// Reads the file (at most 1 MiB); false (with `why`) when it cannot be read or parsed.
bool LoadPeersFile(const std::string& path, PeersFile& file, std::string& why);

}  // namespace pella
