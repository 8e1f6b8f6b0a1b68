// The DIMSE-N requests on the wire, byte for byte, as a scripted printer receives them: class
// and instance UIDs as requested or affected, command field, message ID, data set type, the
// action type, and the group length the command set computes.
#include "net/dimse/dimse_n_messages.h"

#include <gtest/gtest.h>

#include <functional>

#include "net/dimse/command_set.h"
#include "support/print_bytes.h"
#include "support/scripted_peer.h"

using namespace testing_support;

namespace {

const std::string kPrinter = "1.2.840.10008.5.1.1.16";
const std::string kPrinterInstance = "1.2.840.10008.5.1.1.17";
const std::string kFilmSession = "1.2.840.10008.5.1.1.1";
const std::string kFilmBox = "1.2.840.10008.5.1.1.2";
const std::string kImageBox = "1.2.840.10008.5.1.1.4";
// The print classes travel on the grayscale print meta class's context, named by the caller.
const std::string kMeta = "1.2.840.10008.5.1.1.9";

uint32_t GroupLength(const Bytes& command) {
    return command.size() < 12 ? 0
                               : uint32_t{command[8]} | (uint32_t{command[9]} << 8) |
                                     (uint32_t{command[10]} << 16) | (uint32_t{command[11]} << 24);
}

}  // namespace

TEST(DimseNMessages, RequestsGoOutAsTheirCommandSets) {
    ElementList session;
    pella::AppendText(session, 0x2000, 0x0010, "1", "IS");
    ElementList empty;
    ElementList imageBox;
    pella::AppendUS(imageBox, 0x2020, 0x0010, 1);
    struct Case {
        const char* name;
        std::function<bool(PDU&)> write;
        Bytes command;
        uint32_t groupLength;
        Bytes dataSet;  // empty: none follows
    };
    const Case cases[] = {
        {"N-GET of the printer",
         [](PDU& p) { return pella::WriteNGetRQ(p, kPrinterInstance, kPrinter, kMeta); },
         CommandBytes()
             .UI(0x0003, kPrinter)
             .US(0x0100, 0x0110)
             .US(0x0110, 1)
             .US(0x0800, 0x0101)
             .UI(0x1001, kPrinterInstance)
             .Done(),
         90,
         {}},
        {"N-CREATE of a film session",
         [&](PDU& p) { return pella::WriteNCreateRQ(p, &session, "", kFilmSession, kMeta); },
         CommandBytes().UI(0x0002, kFilmSession).US(0x0100, 0x0140).US(0x0110, 2).US(0x0800, 0x0102).Done(),
         60, DicomBytes().Implicit(0x2000, 0x0010, "1 ").Bytes()},
        {"N-CREATE without attributes",
         [&](PDU& p) { return pella::WriteNCreateRQ(p, &empty, "", kFilmSession, kMeta); },
         CommandBytes().UI(0x0002, kFilmSession).US(0x0100, 0x0140).US(0x0110, 3).US(0x0800, 0x0101).Done(),
         60,
         {}},
        {"N-CREATE with an instance",
         [&](PDU& p) { return pella::WriteNCreateRQ(p, nullptr, "1.2.3", kFilmBox, kMeta); },
         CommandBytes()
             .UI(0x0002, kFilmBox)
             .US(0x0100, 0x0140)
             .US(0x0110, 4)
             .US(0x0800, 0x0101)
             .UI(0x1000, "1.2.3")
             .Done(),
         74,
         {}},
        {"N-SET of an image box",
         [&](PDU& p) { return pella::WriteNSetRQ(p, imageBox, "1.2.3.4", kImageBox, kMeta); },
         CommandBytes()
             .UI(0x0003, kImageBox)
             .US(0x0100, 0x0120)
             .US(0x0110, 5)
             .US(0x0800, 0x0102)
             .UI(0x1001, "1.2.3.4")
             .Done(),
         76, DicomBytes().U16(0x2020).U16(0x0010).U32(2).U16(1).Bytes()},
        {"N-ACTION print",
         [](PDU& p) { return pella::WriteNActionRQ(p, nullptr, "1.2.3.45", kFilmBox, 1, kMeta); },
         CommandBytes()
             .UI(0x0003, kFilmBox)
             .US(0x0100, 0x0130)
             .US(0x0110, 6)
             .US(0x0800, 0x0101)
             .UI(0x1001, "1.2.3.45")
             .US(0x1008, 1)
             .Done(),
         46 + 22 + 8 + 10,
         {}},
        {"N-DELETE of the film box",
         [](PDU& p) { return pella::WriteNDeleteRQ(p, "1.2.3.45", kFilmBox, kMeta); },
         CommandBytes()
             .UI(0x0003, kFilmBox)
             .US(0x0100, 0x0150)
             .US(0x0110, 7)
             .US(0x0800, 0x0101)
             .UI(0x1001, "1.2.3.45")
             .Done(),
         76,
         {}},
    };
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kImplicitLE));
    for (const Case& c : cases) {
        peer.ReadPdu();
        if (!c.dataSet.empty()) peer.ReadPdu();
    }
    peer.ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU pdu;
    std::string calling;
    ASSERT_TRUE(pella::OpenAssoc(pdu, "127.0.0.1", peer.PortText(), calling, "PRINTSCP",
                                 "1.2.840.10008.5.1.1.9", ""));
    for (const Case& c : cases) EXPECT_TRUE(c.write(pdu)) << c.name;
    pella::ReleaseAssociation(pdu);
    std::vector<Bytes> received = peer.Finish();
    std::size_t next = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LT(next, received.size());
        EXPECT_EQ(GroupLength(c.command), c.groupLength);
        EXPECT_EQ(received[next++], PData(1, kCommandPdv, c.command));
        if (c.dataSet.empty()) continue;
        ASSERT_LT(next, received.size());
        EXPECT_EQ(received[next++], PData(1, kDataPdv, c.dataSet));
    }
    ASSERT_LT(next, received.size());
    EXPECT_EQ(received[next][0], 0x05);  // the release request follows the last request
}

// A class the association has no context for is refused before anything is sent.
TEST(DimseNMessages, ClassWithoutContextSendsNothing) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kImplicitLE)).ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU pdu;
    std::string calling;
    ASSERT_TRUE(pella::OpenAssoc(pdu, "127.0.0.1", peer.PortText(), calling, "PRINTSCP",
                                 "1.2.840.10008.5.1.1.9", ""));
    EXPECT_FALSE(pella::WriteNGetRQ(pdu, "1.2.3", "1.2.840.10008.5.1.4.1.1.2"));
    pella::ReleaseAssociation(pdu);
    std::vector<Bytes> received = peer.Finish();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1][0], 0x05);
}
