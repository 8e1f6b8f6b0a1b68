#include "services/archive/peers_file.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "net/transport/address_range.h"
#include "services/storage/field_lines.h"

namespace pella {

namespace {

constexpr std::size_t kMaxPeersFileBytes = 1024 * 1024;
constexpr std::size_t kMaxAETitle = 16;

std::string Trimmed(const std::string& text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

std::optional<uint16_t> PortNumber(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    unsigned long value = std::stoul(text);
    if (value > 65535) return std::nullopt;
    return static_cast<uint16_t>(value);
}

// The services of a comma-separated list; nothing when a word is not one of them.
std::optional<uint8_t> ServiceBits(const std::string& list) {
    static const struct {
        const char* word;
        PeerService service;
    } kWords[] = {{"echo", PeerService::kEcho}, {"store", PeerService::kStore},
                  {"find", PeerService::kFind}, {"move", PeerService::kMove},
                  {"get", PeerService::kGet},   {"commit", PeerService::kCommit}};
    uint8_t bits = 0;
    std::istringstream words(list);
    for (std::string word; std::getline(words, word, ',');) {
        std::transform(word.begin(), word.end(), word.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        auto known =
            std::find_if(std::begin(kWords), std::end(kWords), [&](const auto& w) { return word == w.word; });
        if (known == std::end(kWords)) return std::nullopt;
        bits |= static_cast<uint8_t>(known->service);
    }
    if (bits == 0) return std::nullopt;
    return bits;
}

// Reads one line's fields into `peer`; false with `why` when they do not make a peer.
bool ReadPeer(const std::vector<std::string>& fields, Peer& peer, std::string& why) {
    if (fields.size() < 3 || fields.size() > 4) {
        why = "wants AE HOST PORT [SERVICES], found " + std::to_string(fields.size()) + " fields";
        return false;
    }
    if (fields[0].size() > kMaxAETitle) {
        why = "the AE title '" + fields[0] + "' is longer than 16 characters";
        return false;
    }
    std::optional<uint16_t> port = PortNumber(fields[2]);
    if (!port) {
        why = "the port '" + fields[2] + "' is not a number from 0 to 65535";
        return false;
    }
    if (fields[1].find('/') != std::string::npos && !ParseAddressRange(fields[1])) {
        why = "the host '" + fields[1] + "' is not a CIDR range such as 10.0.0.0/8";
        return false;
    }
    std::optional<uint8_t> allowed = fields.size() == 4 ? ServiceBits(fields[3]) : kAllPeerServices;
    if (!allowed) {
        why = "the services '" + fields[3] +
              "' are not a comma-separated list of echo, store, find, move, get, commit";
        return false;
    }
    peer = Peer{fields[0], fields[1], *port, fields.size() == 4 ? fields[3] : "", *allowed};
    return true;
}

}  // namespace

const Peer* PeersFile::Find(const std::string& aeTitle) const {
    std::string wanted = Trimmed(aeTitle);
    for (const Peer& peer : peers)
        if (peer.aeTitle == wanted) return &peer;
    return nullptr;
}

bool ParsePeers(const std::string& text, PeersFile& file, std::string& why) {
    file.peers.clear();
    return ForEachFieldLine(
        text,
        [&](const std::vector<std::string>& fields, std::string& problem) {
            Peer peer;
            if (!ReadPeer(fields, peer, problem)) return false;
            if (file.Find(peer.aeTitle)) {
                problem = "the AE title '" + peer.aeTitle + "' is listed twice";
                return false;
            }
            file.peers.push_back(std::move(peer));
            return true;
        },
        why);
}

bool LoadPeersFile(const std::string& path, PeersFile& file, std::string& why) {
    std::string text;
    if (!ReadBoundedTextFile(path, "peers", kMaxPeersFileBytes, text, why)) return false;
    if (!ParsePeers(text, file, why)) {
        why = path + ", " + why;
        return false;
    }
    return true;
}

}  // namespace pella
