// The peers file deciding on a request: its calling title and address against each peer's HOST
// (a name, an address or a CIDR range), and the services the peer may use against the proposed
// classes.
#include "services/archive/peer_admission.h"

#include <gtest/gtest.h>

#include "net/acse/association_failures.h"
#include "net/acse/negotiation.h"

using namespace pella;

namespace {

const std::string kCt = "1.2.840.10008.5.1.4.1.1.2";
const std::string kStudyFind = "1.2.840.10008.5.1.4.1.2.2.1";
const std::string kStudyMove = "1.2.840.10008.5.1.4.1.2.2.2";
const std::string kStudyGet = "1.2.840.10008.5.1.4.1.2.2.3";
const std::string kEcho = "1.2.840.10008.1.1";
const std::string kCommit = "1.2.840.10008.1.20.1";

PeersFile Peers() {
    PeersFile peers;
    std::string why;
    EXPECT_TRUE(
        ParsePeers("WARD    10.1.0.0/16 0 find,move\n"
                   "LOCAL   127.0.0.1   0 echo,GET\n"
                   "NAMED   localhost   0\n"
                   "ANYWHERE 0.0.0.0/0 0 store\n",
                   peers, why))
        << why;
    return peers;
}

}  // namespace

TEST(PeerAdmission, TitleAddressAndServices) {
    const PeersFile peers = Peers();
    const std::vector<RoleSelection> getRoles = {{kCt, 1, 1}};  // a C-GET requestor providing CT
    const struct {
        const char* title;
        const char* address;
        bool requireKnown;
        std::vector<RoleSelection> roles;
        uint8_t reason;
        std::vector<std::string> allowed, refused;  // checked when admitted
    } cases[] = {
        {"WARD", "10.1.200.3", true, {}, 0, {kStudyFind, kStudyMove}, {kCt, kEcho, kStudyGet, kCommit}},
        {"WARD            ", "10.1.0.1", true, {}, 0, {kStudyFind}, {kCt}},  // a padded title
        {"WARD", "10.2.0.1", true, {}, reject_reason::kCallingAETitleNotRecognized, {}, {}},
        {"WARD", "10.2.0.1", false, {}, 0, {kCt, kEcho, kStudyGet}, {}},  // unknown from there: all
        {"STRANGER", "10.1.0.1", true, {}, reject_reason::kCallingAETitleNotRecognized, {}, {}},
        {"STRANGER", "10.1.0.1", false, {}, 0, {kCt, kStudyFind, kCommit}, {}},
        {"LOCAL", "127.0.0.1", true, {}, 0, {kEcho, kStudyGet}, {kCt, kStudyFind}},
        {"LOCAL", "127.0.0.1", true, getRoles, 0, {kEcho, kStudyGet, kCt}, {kStudyMove}},  // CT for its C-GET
        {"LOCAL", "127.0.0.2", true, {}, reject_reason::kCallingAETitleNotRecognized, {}, {}},
        {"NAMED", "127.0.0.1", true, {}, 0, {kCt, kEcho, kStudyFind, kStudyMove, kStudyGet, kCommit}, {}},
        {"NAMED", "192.0.2.1", true, {}, reject_reason::kCallingAETitleNotRecognized, {}, {}},
        {"ANYWHERE", "192.0.2.1", true, {}, 0, {kCt, "1.2.3.4"}, {kEcho}},  // unknown classes stay unserved,
                                                                            // not refused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.title) + " from " + c.address);
        Admission admission = AdmitPeer(peers, c.requireKnown, c.title, c.address, c.roles);
        EXPECT_EQ(admission.rejectReason, c.reason);
        for (const std::string& uid : c.allowed)
            EXPECT_FALSE(admission.refusedFor && admission.refusedFor(uid)) << uid;
        for (const std::string& uid : c.refused)
            EXPECT_TRUE(admission.refusedFor && admission.refusedFor(uid)) << uid;
    }
}

TEST(PeerAdmission, EachClassBelongsToItsService) {
    EXPECT_EQ(ServiceOf(kEcho, false), PeerService::kEcho);
    EXPECT_EQ(ServiceOf(kCt, false), PeerService::kStore);
    EXPECT_EQ(ServiceOf(kCt, true), PeerService::kGet);
    EXPECT_EQ(ServiceOf("1.2.840.10008.5.1.4.1.2.1.1", false), PeerService::kFind);
    EXPECT_EQ(ServiceOf(kStudyMove, false), PeerService::kMove);
    EXPECT_EQ(ServiceOf(kStudyGet, false), PeerService::kGet);
    EXPECT_EQ(ServiceOf(kCommit, false), PeerService::kCommit);
    EXPECT_EQ(ServiceOf("1.2.3.4", false), std::nullopt);
}
