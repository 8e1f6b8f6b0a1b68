// C-FIND and worklist responses from a scripted archive: the request on the wire, conforming
// responses, and hostile ones (another command, no status, a truncated identifier, an abort
// mid-query, 100,000 pending responses to the CLI).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "services/query/find.h"
#include "services/query/query_records.h"
#include "services/query/worklist.h"
#include "support/data_set_builder.h"
#include "support/dicom_bytes.h"
#include "support/run_command.h"
#include "support/scripted_peer.h"

using namespace pella;
using namespace testing_support;

namespace {

constexpr const char* kImplicit = "1.2.840.10008.1.2";
constexpr const char* kFindClass = "1.2.840.10008.5.1.4.1.2.2.1";
constexpr const char* kWorklistClass = "1.2.840.10008.5.1.4.31";

Bytes Command(uint16_t field, uint16_t status, bool withStatus, bool withDataSet) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, kFindClass);
    AppendUS(command, 0x0000, kTagCommandField, field);
    AppendUS(command, 0x0000, kTagMessageIDRespondedTo, 1);
    AppendUS(command, 0x0000, kTagDataSetType, withDataSet ? 0x0000 : kNoDataSet);
    if (withStatus) AppendUS(command, 0x0000, kTagStatus, status);
    PrependCommandGroupLength(command);
    return PData(1, 0x03, SerializeList(command, false, false));
}

Bytes StudyMatch(const std::string& patientID) {
    ElementList identifier;
    AddText(identifier, 0x0008, 0x0052, "CS", "STUDY");
    AddText(identifier, 0x0010, 0x0020, "LO", patientID);
    AddText(identifier, 0x0020, 0x000D, "UI", "1.2.3." + patientID);
    return PData(1, 0x02, SerializeList(identifier, false, false));
}

Bytes Pending(const std::string& patientID) {
    Bytes b = Command(kCFindRSP, 0xFF00, true, true);
    Bytes match = StudyMatch(patientID);
    b.insert(b.end(), match.begin(), match.end());
    return b;
}

// The implicit VR list one P-DATA-TF of a single value carries.
bool ListOfPdu(const Bytes& pdu, ElementList& list) {
    ParseState state;
    state.metaMode = false;
    state.explicitVR = false;
    return pdu.size() >= 12 && ReadDatasetBytes(pdu.data() + 12, pdu.size() - 12, state, list);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Outcome {
    std::vector<int32_t> statuses;
    std::vector<std::string> patientIDs;
    std::vector<Bytes> pdus;
};

// A study query against a peer that answers `responses` after reading the request.
Outcome StudyQuery(const Bytes& responses) {
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .ReadPdu()
        .ReadPdu()
        .Send(responses)
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    Outcome outcome;
    {
        PDU pdu(5);
        std::string calling = "PELLA";
        QueryRecordList list;
        list.records.push_back(NewQueryRecord(QueryLevel::Study));
        SetQueryField(list.records[0], QueryLevel::Study, 1, "P*", 2);
        if (OpenAssoc(pdu, "127.0.0.1", peer.PortText(), calling, "PEER", kFindClass, "") &&
            WriteFindRQ(pdu, list, kFindClass, "STUDY")) {
            EXPECT_EQ(list.records[0], nullptr);  // freed by the request, slot emptied
            list.records.clear();
            int32_t status;
            do {
                status = ReadFindRSP(pdu, list, "STUDY");
                outcome.statuses.push_back(status);
            } while (IsPendingStatus(status));
        }
        for (void* record : list.records)
            outcome.patientIDs.push_back(QueryFieldText(record, QueryLevel::Study, 1));
        ClearRecords(list, QueryLevel::Study);
        ReleaseAssociation(pdu);
    }
    outcome.pdus = peer.Finish();
    return outcome;
}

// Runs the shell line `before` + "pella find 127.0.0.1 PORT" + `after` against a peer that
// accepts, reads the request and answers with `responses`; the command's output.
std::string FindAgainst(const Bytes& responses, const std::string& before, const std::string& after,
                        int& exit) {
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .ReadPdu()
        .ReadPdu()
        .Send(responses)
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    std::string out = RunCommand(
        before + std::string(PELLA_CLI_PATH) + " find 127.0.0.1 " + peer.PortText() + after, &exit);
    peer.Finish();
    return out;
}

}  // namespace

// The request: a C-FIND-RQ of six elements, then the 15-key identifier with the match value.
TEST(FindProtocol, RequestAndPendingResponsesInOrder) {
    Outcome o =
        StudyQuery(Concat({Pending("P1"), Pending("P2"), Pending("P3"), Command(kCFindRSP, 0, true, false)}));
    EXPECT_EQ(o.statuses, (std::vector<int32_t>{0xFF00, 0xFF00, 0xFF00, 0}));
    EXPECT_EQ(o.patientIDs, (std::vector<std::string>{"P1", "P2", "P3"}));
    ASSERT_GE(o.pdus.size(), 3u);
    ElementList command, identifier;
    ParseState state;
    state.metaMode = false;
    state.explicitVR = false;
    ASSERT_TRUE(ReadDatasetBytes(o.pdus[1].data() + 12, o.pdus[1].size() - 12, state, command));
    ASSERT_EQ(command.size(), 6u);
    EXPECT_EQ(GetElementUS(command, 0x0000, 0x0100), 0x0020);
    EXPECT_EQ(GetElementUS(command, 0x0000, 0x0800), 0x0102);
    ASSERT_TRUE(ReadDatasetBytes(o.pdus[2].data() + 12, o.pdus[2].size() - 12, state, identifier));
    EXPECT_EQ(identifier.size(), 15u);
    EXPECT_EQ(GetElementText(identifier, 0x0010, 0x0020), "P*");
}

// Hostile answers end the query with -1 and keep the records received before them.
TEST(FindProtocol, HostileResponsesEndTheQueryCleanly) {
    Bytes truncated = StudyMatch("P9");
    truncated.resize(truncated.size() - 5);  // the last value runs past the unit
    truncated[2] = 0, truncated[3] = 0, truncated[4] = 0, truncated[5] = uint8_t(truncated.size() - 6);
    truncated[9] = uint8_t(truncated.size() - 10);
    struct Case {
        const char* name;
        Bytes after;  // what follows one good pending response
    };
    const Case cases[] = {
        {"a response of another command", Command(kCStoreRSP, 0, true, false)},
        {"a response without status", Command(kCFindRSP, 0, false, false)},
        {"a truncated identifier", Concat({Command(kCFindRSP, 0xFF00, true, true), truncated})},
        {"an abort mid-query", kAbort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome o = StudyQuery(Concat({Pending("P1"), c.after}));
        EXPECT_EQ(o.statuses, (std::vector<int32_t>{0xFF00, -1}));
        EXPECT_EQ(o.patientIDs, (std::vector<std::string>{"P1"}));
    }
}

// A worklist step sequence of undefined length, as some providers send it, gives the same
// record as the defined-length one; Modality outside the sequence is not taken.
TEST(WorklistProtocol, FlatStepSequenceFromAScriptedProvider) {
    DicomBytes identifier;
    identifier.Implicit(0x0008, 0x0060, "XX").Implicit(0x0010, 0x0020, "W001");
    identifier.TagLength(0x0040, 0x0100, 0xFFFFFFFF).TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);
    identifier.Implicit(0x0008, 0x0060, "MR").Implicit(0x0040, 0x0009, "SPS1");
    identifier.TagLength(0xFFFE, 0xE00D, 0).TagLength(0xFFFE, 0xE0DD, 0);
    Bytes responses = Concat({Command(kCFindRSP, 0xFF00, true, true), PData(1, 0x02, identifier.Bytes()),
                              Command(kCFindRSP, 0, true, false)});
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .ReadPdu()
        .ReadPdu()
        .Send(responses)
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    std::string calling = "PELLA";
    QueryRecordList list;
    void* query = NewQueryRecord(QueryLevel::Worklist);
    list.records.push_back(query);
    ASSERT_TRUE(OpenAssoc(pdu, "127.0.0.1", peer.PortText(), calling, "PEER", kWorklistClass, ""));
    ASSERT_TRUE(WriteWLFindRQ(pdu, list, kWorklistClass));
    EXPECT_EQ(list.records[0], query);  // the caller's own
    FreeQueryRecord(query, QueryLevel::Worklist);
    list.records.clear();
    EXPECT_EQ(ReadWLFindRSP(pdu, list), 0xFF00);
    EXPECT_EQ(ReadWLFindRSP(pdu, list), 0);
    ReleaseAssociation(pdu);
    peer.Finish();
    ASSERT_EQ(list.records.size(), 1u);
    EXPECT_EQ(QueryFieldText(list.records[0], QueryLevel::Worklist, 12), "MR");
    EXPECT_EQ(QueryFieldText(list.records[0], QueryLevel::Worklist, 16), "SPS1");
    EXPECT_EQ(QueryFieldText(list.records[0], QueryLevel::Worklist, 1), "W001");
    ClearRecords(list, QueryLevel::Worklist);
}

// Matches are decoded by the Specific Character Set of their own response, for the CLI's text
// and JSON alike; a response that declares none keeps its bytes.
TEST(FindProtocol, ResultsAreDecodedByTheirResponsesCharacterSet) {
    const std::string utf8Name = "M\xC3\xBCller^J\xC3\xBCrgen";
    struct Case {
        const char* set;
        std::string name;
    };
    const Case cases[] = {{"ISO_IR 100", "M\xFCller^J\xFCrgen"},
                          {"ISO_IR 192", utf8Name},
                          {"ISO_IR 148", "M\xFCller^J\xFCrgen"}};  // Latin-5 shares these letters
    for (const Case& c : cases) {
        for (bool json : {false, true}) {
            SCOPED_TRACE(std::string(c.set) + (json ? " json" : " text"));
            ElementList identifier;
            AddText(identifier, 0x0008, 0x0005, "CS", c.set);
            AddText(identifier, 0x0008, 0x0052, "CS", "STUDY");
            AddText(identifier, 0x0010, 0x0010, "PN", c.name);
            AddText(identifier, 0x0020, 0x000D, "UI", "1.2.3.4");
            Bytes responses = Command(kCFindRSP, 0xFF00, true, true);
            Bytes match = PData(1, 0x02, SerializeList(identifier, false, false));
            responses.insert(responses.end(), match.begin(), match.end());
            Bytes last = Command(kCFindRSP, 0, true, false);
            responses.insert(responses.end(), last.begin(), last.end());
            int exit = -1;
            std::string out = FindAgainst(
                responses, "", std::string(json ? " --json" : "") + " -k PatientName=M* 2>&1", exit);
            EXPECT_EQ(exit, 0) << out;
            EXPECT_NE(out.find(utf8Name), std::string::npos) << out;
        }
    }
}

namespace {

using Streamed = std::vector<std::pair<int32_t, std::string>>;  // match number, Patient ID

void Collect(const void* record, int32_t number, void* context) {
    static_cast<Streamed*>(context)->emplace_back(number, ::GetQueryField(record, "STUDY", 1));
}

}  // namespace

// Through the C interface: every pending match goes to the callback as it arrives, numbered; a
// failure response ends the query with its status and is no match. The identifier declares the
// character set of a key holding non-ASCII text, and the key's bytes go out unchanged.
TEST(FindProtocol, FindEachStreamsMatchesAndDeclaresTheCharacterSet) {
    struct Case {
        const char* name;
        std::string patientName;
        const char* characterSet;
    };
    const Case cases[] = {{"ASCII", "SMITH*", nullptr},
                          {"UTF-8", "M\xC3\xBCLLER*", "ISO_IR 192"},
                          {"Latin-1", "M\xFCLLER^*", "ISO_IR 100"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes responses =
            Concat({Pending("P1"), Pending("P2"), Command(kCFindRSP, 0xC000, true, true), StudyMatch("P3")});
        ScriptedPeer peer;
        peer.ReadPdu()
            .Send(AcceptBytes(1, kImplicit))
            .ReadPdu()
            .ReadPdu()
            .Send(responses)
            .ReadPdu()
            .Send(kReleaseRP);
        peer.Start();
        ::PDU* handle = NewPDU();
        char calling[17] = "PELLA";
        ASSERT_TRUE(
            ::OpenAssoc(handle, "127.0.0.1", peer.PortText().c_str(), calling, "PEER", kFindClass, nullptr));
        void* query = ::NewQueryRecord("STUDY");
        ::SetQueryField(query, "STUDY", 0, c.patientName.c_str());
        Streamed matches;
        EXPECT_EQ(::FindEach(handle, query, kFindClass, "STUDY", Collect, &matches), 0xC000);
        EXPECT_EQ(matches, (Streamed{{1, "P1"}, {2, "P2"}}));
        EXPECT_STREQ(::GetQueryField(query, "STUDY", 0), c.patientName.c_str());  // still the caller's
        ::FreeQueryRecord(query, "STUDY");
        CloseAssoc(handle);
        DeletePDU(handle);
        auto pdus = peer.Finish();
        ASSERT_GE(pdus.size(), 3u);
        ElementList identifier;
        ASSERT_TRUE(ListOfPdu(pdus[2], identifier));
        const DataElement* set = FindElement(identifier, 0x0008, 0x0005);
        if (c.characterSet == nullptr) {
            EXPECT_EQ(set, nullptr);
        } else {
            ASSERT_NE(set, nullptr);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(set->value), std::size_t(set->length)),
                      c.characterSet);
        }
        const DataElement* name = FindElement(identifier, 0x0010, 0x0010);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(name->value), c.patientName.size()), c.patientName);
    }
}

namespace {

// Runs `pella find` against a peer sending `count` pending matches and a final success; the
// CLI's exit code and standard error; `maxRssKb` is the CLI's peak memory (GNU time).
std::string CliAgainst(long count, int& exit, long& maxRssKb) {
    Bytes responses;
    Bytes one = Pending("P1");
    responses.reserve(one.size() * std::size_t(count) + 64);
    for (long i = 0; i < count; ++i) responses.insert(responses.end(), one.begin(), one.end());
    Bytes last = Command(kCFindRSP, 0, true, false);
    responses.insert(responses.end(), last.begin(), last.end());
    std::string err =
        FindAgainst(responses, "/usr/bin/time -f \"RSS %M\" ", " -k PatientID=P* 2>&1 >/dev/null", exit);
    std::size_t at = err.rfind("RSS ");
    maxRssKb = at == std::string::npos ? -1 : std::atol(err.c_str() + at + 4);
    return err;
}

}  // namespace

// 100,000 pending responses stream through the CLI: every match counted, memory no larger
// than for 1,000 (matches are printed and freed as they arrive).
TEST(FindProtocol, CliStreamsManyMatchesInBoundedMemory) {
    int exit = -1;
    long smallRss = 0, largeRss = 0;
    std::string err = CliAgainst(1000, exit, smallRss);
    EXPECT_EQ(exit, 0) << err;
    EXPECT_NE(err.find("1000 matches; final status: success"), std::string::npos) << err;
    err = CliAgainst(100000, exit, largeRss);
    EXPECT_EQ(exit, 0) << err;
    EXPECT_NE(err.find("100000 matches; final status: success"), std::string::npos) << err;
    ASSERT_GT(smallRss, 0);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's quarantine keeps freed memory on purpose
    EXPECT_LT(largeRss - smallRss, 4 * 1024)
        << smallRss << " kB for 1,000, " << largeRss << " kB for 100,000";
#endif
}

namespace {

Bytes MoveResponse(uint16_t field, uint16_t status, int remaining) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, "1.2.840.10008.5.1.4.1.2.2.2");
    AppendUS(command, 0x0000, kTagCommandField, field);
    AppendUS(command, 0x0000, kTagMessageIDRespondedTo, 1);
    AppendUS(command, 0x0000, kTagDataSetType, kNoDataSet);
    AppendUS(command, 0x0000, kTagStatus, status);
    if (remaining >= 0) AppendUS(command, 0x0000, 0x1020, uint16_t(remaining));
    PrependCommandGroupLength(command);
    return PData(1, 0x03, SerializeList(command, false, false));
}

}  // namespace

// Through the C interface: pending responses with their remaining counts, then the final one;
// a warning or a response of another command is no success; the request's record is freed
// and its slot set to NULL; a five-character destination goes out padded to six.
TEST(MoveProtocol, RemainingCountsAndFinalStatus) {
    struct Case {
        const char* name;
        Bytes responses;
        std::vector<int32_t> statuses;
        std::vector<int32_t> remaining;
    };
    const Case cases[] = {
        {"three pending, then success",
         Concat({MoveResponse(kCMoveRSP, 0xFF00, 3), MoveResponse(kCMoveRSP, 0xFF00, 2),
                 MoveResponse(kCMoveRSP, 0xFF00, 1), MoveResponse(kCMoveRSP, 0, -1)}),
         {0xFF00, 0xFF00, 0xFF00, 0},
         {3, 2, 1, 0}},
        {"sub-operations failed", MoveResponse(kCMoveRSP, 0xB000, 0), {0xB000}, {0}},
        {"another command", MoveResponse(kCFindRSP, 0, 0), {-1}, {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        peer.ReadPdu()
            .Send(AcceptBytes(1, kImplicit))
            .ReadPdu()
            .ReadPdu()
            .Send(c.responses)
            .ReadPdu()
            .Send(kReleaseRP);
        peer.Start();
        ::PDU* handle = NewPDU();
        char calling[17] = "PELLA";
        ASSERT_TRUE(::OpenAssoc(handle, "127.0.0.1", peer.PortText().c_str(), calling, "PEER",
                                "1.2.840.10008.5.1.4.1.2.2.2", nullptr));
        ::QueryRecordList* list = NewQueryRecordList();
        void* query = ::NewQueryRecord("STUDY");
        ::SetQueryField(query, "STUDY", 9, "1.2.3");
        AppendQueryRecord(list, query);
        ASSERT_EQ(::WriteMoveRQ(handle, list, "1.2.840.10008.5.1.4.1.2.2.2", "STUDY", "DEST5"), 1);
        EXPECT_EQ(QueryRecordAt(list, 0), nullptr);
        std::vector<int32_t> statuses, remaining;
        int32_t status;
        do {
            int32_t left = -100;
            status = ::ReadMoveRSP(handle, &left);
            statuses.push_back(status);
            remaining.push_back(left);
        } while (status == 0xFF00);
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(remaining, c.remaining);
        CloseAssoc(handle);
        DeletePDU(handle);
        FreeQueryRecordList(list, "STUDY");
        auto pdus = peer.Finish();
        ASSERT_GE(pdus.size(), 3u);
        ElementList command;
        ASSERT_TRUE(ListOfPdu(pdus[1], command));
        const DataElement* destination = FindElement(command, 0x0000, 0x0600);
        ASSERT_NE(destination, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(destination->value), std::size_t(destination->length)),
                  "DEST5 ");
    }
    // A level other than the three is refused before anything is sent or freed.
    ::QueryRecordList* list = NewQueryRecordList();
    void* query = ::NewQueryRecord("STUDY");
    AppendQueryRecord(list, query);
    ::PDU* handle = NewPDU();
    EXPECT_EQ(::WriteMoveRQ(handle, list, "1.2.840.10008.5.1.4.1.2.2.2", "PATIENT", "DEST"), 0);
    EXPECT_EQ(::WriteFindRQ(handle, list, "1.2.840.10008.5.1.4.1.2.2.1", "study"), 0);
    EXPECT_EQ(QueryRecordAt(list, 0), query);
    DeletePDU(handle);
    FreeQueryRecordList(list, "STUDY");
}
