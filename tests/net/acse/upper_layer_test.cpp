// The upper-layer transition table, cell by cell: for every state and every event, the action
// the table names, the state it leads to, and what goes on the wire when the event happens on
// a live connection (the A-ABORT with its source and reason, the release PDUs, or nothing) and
// whether the connection stays open.
#include "net/acse/upper_layer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <sstream>

#include "net/pdu/pdu_test_data.h"
#include "support/scripted_peer.h"

using namespace pella;
using testing_support::Bytes;

namespace {

// The standard's table as text: one row per event, one column per state (Sta1 to Sta13).
const char* const kExpectedRows[kUlEventCount] = {
    /* Evt1  */ "AE-1 -    -    -    -    -    -    -    -    -     -     -     -",
    /* Evt2  */ "-    -    -    AE-2 -    -    -    -    -    -     -     -     -",
    /* Evt3  */ "-    AA-1 AA-8 -    AE-3 AA-8 AA-8 AA-8 AA-8 AA-8  AA-8  AA-8  AA-6",
    /* Evt4  */ "-    AA-1 AA-8 -    AE-4 AA-8 AA-8 AA-8 AA-8 AA-8  AA-8  AA-8  AA-6",
    /* Evt5  */ "AE-5 -    -    -    -    -    -    -    -    -     -     -     -",
    /* Evt6  */ "-    AE-6 AA-8 -    AA-8 AA-8 AA-8 AA-8 AA-8 AA-8  AA-8  AA-8  AA-7",
    /* Evt7  */ "-    -    AE-7 -    -    -    -    -    -    -     -     -     -",
    /* Evt8  */ "-    -    AE-8 -    -    -    -    -    -    -     -     -     -",
    /* Evt9  */ "-    -    -    -    -    DT-1 -    AR-7 -    -     -     -     -",
    /* Evt10 */ "-    AA-1 AA-8 -    AA-8 DT-2 AR-6 AA-8 AA-8 AA-8  AA-8  AA-8  AA-6",
    /* Evt11 */ "-    -    -    -    -    AR-1 -    -    -    -     -     -     -",
    /* Evt12 */ "-    AA-1 AA-8 -    AA-8 AR-2 AR-8 AA-8 AA-8 AA-8  AA-8  AA-8  AA-6",
    /* Evt13 */ "-    AA-1 AA-8 -    AA-8 AA-8 AR-3 AA-8 AA-8 AR-10 AR-3  AA-8  AA-6",
    /* Evt14 */ "-    -    -    -    -    -    -    AR-4 AR-9 -     -     AR-4  -",
    /* Evt15 */ "-    -    AA-1 AA-2 AA-1 AA-1 AA-1 AA-1 AA-1 AA-1  AA-1  AA-1  -",
    /* Evt16 */ "-    AA-2 AA-3 -    AA-3 AA-3 AA-3 AA-3 AA-3 AA-3  AA-3  AA-3  AA-2",
    /* Evt17 */ "-    AA-5 AA-4 AA-4 AA-4 AA-4 AA-4 AA-4 AA-4 AA-4  AA-4  AA-4  AR-5",
    /* Evt18 */ "-    AA-2 -    -    -    -    -    -    -    -     -     -     AA-2",
    /* Evt19 */ "-    AA-1 AA-8 -    AA-8 AA-8 AA-8 AA-8 AA-8 AA-8  AA-8  AA-8  AA-7",
};

// The state each action leads to (AR-8: for the requestor / the acceptor).
const std::map<std::string, std::pair<std::string, std::string>> kNextState = {
    {"AE-1", {"Sta4", "Sta4"}},   {"AE-2", {"Sta5", "Sta5"}},    {"AE-3", {"Sta6", "Sta6"}},
    {"AE-4", {"Sta1", "Sta1"}},   {"AE-5", {"Sta2", "Sta2"}},    {"AE-6", {"Sta3", "Sta3"}},
    {"AE-7", {"Sta6", "Sta6"}},   {"AE-8", {"Sta13", "Sta13"}},  {"DT-1", {"Sta6", "Sta6"}},
    {"DT-2", {"Sta6", "Sta6"}},   {"AR-1", {"Sta7", "Sta7"}},    {"AR-2", {"Sta8", "Sta8"}},
    {"AR-3", {"Sta1", "Sta1"}},   {"AR-4", {"Sta13", "Sta13"}},  {"AR-5", {"Sta1", "Sta1"}},
    {"AR-6", {"Sta7", "Sta7"}},   {"AR-7", {"Sta8", "Sta8"}},    {"AR-8", {"Sta9", "Sta10"}},
    {"AR-9", {"Sta11", "Sta11"}}, {"AR-10", {"Sta12", "Sta12"}}, {"AA-1", {"Sta13", "Sta13"}},
    {"AA-2", {"Sta1", "Sta1"}},   {"AA-3", {"Sta1", "Sta1"}},    {"AA-4", {"Sta1", "Sta1"}},
    {"AA-5", {"Sta1", "Sta1"}},   {"AA-6", {"Sta13", "Sta13"}},  {"AA-7", {"Sta13", "Sta13"}},
    {"AA-8", {"Sta13", "Sta13"}},
};

std::vector<std::string> Tokens(const char* row) {
    std::istringstream in(row);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) tokens.push_back(token == "-" ? "none" : token);
    return tokens;
}

// The PDU that makes a received event arrive; empty for the local events.
Bytes ArrivingPdu(UlEvent event) {
    using pdu_test::Associate;
    switch (event) {
        case UlEvent::kEvt3:
            return testing_support::AcceptBytes(1, "1.2.840.10008.1.2");
        case UlEvent::kEvt4:
            return {0x03, 0, 0, 0, 0, 4, 0, 1, 1, 1};
        case UlEvent::kEvt6:
            return Associate(0x01, "PELLA", "PEER",
                             {pdu_test::ProposedContext(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"}),
                              pdu_test::UserInfo()});
        case UlEvent::kEvt10:
            return testing_support::PData(1, 0x03, Bytes{0, 0, 0, 0});
        case UlEvent::kEvt12:
            return {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0};
        case UlEvent::kEvt13:
            return {0x06, 0, 0, 0, 0, 4, 0, 0, 0, 0};
        case UlEvent::kEvt16:
            return {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 1};
        case UlEvent::kEvt19:
            return {0x09, 0, 0, 0, 0, 4, 0, 0, 0, 0};
        default:
            return {};
    }
}

bool IsReceived(UlEvent event) {
    return !ArrivingPdu(event).empty() || event == UlEvent::kEvt17;
}

// What the action puts on the wire.
Bytes SentBy(const std::string& action, UlEvent event) {
    if (action == "AR-1") return {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    if (action == "AR-4" || action == "AR-9") return {0x06, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    if (action == "AA-1") return {0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    uint8_t reason = event == UlEvent::kEvt19 ? 1 : 2;
    if (action == "AA-7" || action == "AA-8") return {0x07, 0, 0, 0, 0, 4, 0, 0, 2, reason};
    return {};
}

// An association on one end of a socket pair; the test is the peer on the other.
struct LivePdu {
    LivePdu() : pdu(1) {
        int ends[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0) {
            pdu.buffer.Transport().Adopt(SocketHandle(ends[0]));
            peer = ends[1];
        }
    }
    ~LivePdu() {
        pdu.buffer.Transport().Close();
        if (peer >= 0) ::close(peer);
    }
    Bytes Sent() const {
        Bytes all;
        uint8_t chunk[4096];
        ssize_t n;
        while ((n = ::recv(peer, chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
            all.insert(all.end(), chunk, chunk + n);
        return all;
    }
    PDU pdu;
    int peer = -1;
};

}  // namespace

TEST(UpperLayer, EveryStateAndEventTakesTheTablesAction) {
    int checked = 0;
    for (int e = 1; e <= kUlEventCount; ++e) {
        const auto event = static_cast<UlEvent>(e);
        const std::vector<std::string> row = Tokens(kExpectedRows[e - 1]);
        ASSERT_EQ(row.size(), static_cast<std::size_t>(kUlStateCount)) << EventName(event);
        for (int s = 1; s <= kUlStateCount; ++s) {
            for (bool requestor : {true, false}) {
                const auto state = static_cast<UlState>(s);
                SCOPED_TRACE(std::string(StateName(state)) + " x " + EventName(event) +
                             (requestor ? " (requestor)" : " (acceptor)"));
                const std::string& expected = row[static_cast<std::size_t>(s - 1)];
                const UlAction action = TransitionAction(state, event);
                ASSERT_EQ(std::string(ActionName(action)), expected);
                std::string next = StateName(state);
                if (expected != "none") {
                    const auto& nextStates = kNextState.at(expected);
                    next = requestor ? nextStates.first : nextStates.second;
                }
                EXPECT_EQ(std::string(StateName(NextState(action, state, requestor))), next);

                // The same event on a live association.
                LivePdu live;
                live.pdu.ulState = state;
                live.pdu.requestor = requestor;
                UlAction taken;
                if (IsReceived(event)) {
                    Bytes arriving = ArrivingPdu(event);
                    if (!arriving.empty()) ::send(live.peer, arriving.data(), arriving.size(), MSG_NOSIGNAL);
                    ::shutdown(live.peer, SHUT_WR);
                    uint8_t type = 0;
                    taken = ReceivePdu(live.pdu, type);
                } else {
                    taken = Fire(live.pdu, event);
                }
                EXPECT_EQ(taken, action);
                EXPECT_EQ(live.Sent(), SentBy(expected, event));
                // Sta13 has no timer: it closes at once, except after AE-8 (the caller sends its
                // A-ASSOCIATE-RJ first).
                const bool closes = expected == "AE-4" || expected == "AR-3" || expected == "AR-5" ||
                                    expected == "AA-2" || expected == "AA-3" || expected == "AA-4" ||
                                    expected == "AA-5" ||
                                    (expected != "none" && next == "Sta13" && expected != "AE-8");
                const std::string settled = closes ? "Sta1" : next;
                EXPECT_EQ(std::string(StateName(live.pdu.ulState)), settled);
                if (event != UlEvent::kEvt17) {
                    EXPECT_EQ(live.pdu.IsConnected(), !closes);
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 2 * kUlStateCount * kUlEventCount);
}
