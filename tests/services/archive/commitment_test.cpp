// Storage commitment: the request and report data sets, and the provider on a running server
// with the archive's services: stored instances are committed, missing ones and one named with
// the wrong class are reported failed, on the same association; a refused request stays refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "data/io/dataset_reader.h"
#include "data/io/element_header.h"
#include "data/io/sequence_decoding.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse_n_messages.h"
#include "services/archive/archive_services.h"
#include "services/archive/commitment_request.h"
#include "services/archive/folder_instance_source.h"
#include "services/storage/store.h"
#include "services/storage/store_server.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::PydicomFile;
using testing_support::TempDir;

namespace {

const std::string kCtClass = "1.2.840.10008.5.1.4.1.1.2";
const std::string kMrClass = "1.2.840.10008.5.1.4.1.1.4";

CommitmentRequest Request(const std::string& transaction,
                          const std::vector<CommitmentReference>& references) {
    return CommitmentRequest{transaction, references};
}

// The data set an SCU sends: the report writer's form with the failure reasons left out.
ElementList RequestDataSet(const CommitmentRequest& request) {
    CommitmentRequest all = request;
    for (CommitmentReference& reference : all.references) reference.failureReason = 0;
    return CommitmentReport(all);
}

// The items of one top-level sequence of a flat data set: class, instance, failure reason.
std::vector<CommitmentReference> Items(const ElementList& flat, uint16_t element) {
    std::vector<CommitmentReference> items;
    int depth = 0;
    bool inside = false;
    for (const auto& item : flat) {
        const DataElement& e = *item;
        if (depth == 0) inside = e.group == 0x0008 && e.element == element;
        if (e.group == 0xFFFE && e.element == 0xE000 && inside && depth == 1) items.emplace_back();
        if (inside && depth == 2 && e.group == 0x0008) {
            if (e.element == 0x1150) items.back().sopClass = UidText(e.value, e.length);
            if (e.element == 0x1155) items.back().sopInstance = UidText(e.value, e.length);
            if (e.element == 0x1197) items.back().failureReason = uint16_t(e.value[0] | (e.value[1] << 8));
        }
        if (VrIs(e.vr, "SQ") || (e.group == 0xFFFE && e.element == 0xE000)) ++depth;
        if (e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD)) --depth;
    }
    return items;
}

}  // namespace

TEST(CommitmentRequest, ReadBackFromItsDataSetAndRefusals) {
    CommitmentRequest sent = Request("1.2.3.4", {{kCtClass, "1.2.3.4.1", 0}, {kMrClass, "1.2.3.4.2", 0}});
    CommitmentRequest read;
    std::string why;
    ASSERT_TRUE(ReadCommitmentRequest(RequestDataSet(sent), read, why)) << why;
    EXPECT_EQ(read.transactionUid, "1.2.3.4");
    ASSERT_EQ(read.references.size(), 2u);
    EXPECT_EQ(read.references[1].sopClass, kMrClass);
    EXPECT_EQ(read.references[1].sopInstance, "1.2.3.4.2");

    const struct {
        CommitmentRequest request;
        const char* reason;
    } refused[] = {
        {Request("", {{kCtClass, "1.2.3.4.1", 0}}), "Transaction UID"},
        {Request("1.2.x", {{kCtClass, "1.2.3.4.1", 0}}), "Transaction UID"},
        {Request("1.2.3", {}), "names no instance"},
        {Request("1.2.3", {{kCtClass, "", 0}}), "lacks a valid"},
        {Request("1.2.3", {{"../x", "1.2.3.4", 0}}), "lacks a valid"},
    };
    for (const auto& r : refused) {
        CommitmentRequest out;
        std::string reason;
        EXPECT_FALSE(ReadCommitmentRequest(RequestDataSet(r.request), out, reason)) << r.reason;
        EXPECT_NE(reason.find(r.reason), std::string::npos) << reason;
    }
    // A Referenced SOP Sequence nested in another item is not the request's own.
    ElementList nested;
    ElementList inner = RequestDataSet(sent);
    nested.Append(NewElement(0x0040, 0xA730, kUndefinedLength, nullptr, "SQ"));
    nested.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    for (const auto& e : inner) nested.Append(NewElement(e->group, e->element, e->length, e->value, e->vr));
    nested.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    nested.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    EXPECT_FALSE(ReadCommitmentRequest(nested, read, why));
}

TEST(CommitmentRequest, ReportSplitsCommittedAndFailed) {
    CommitmentRequest checked = Request("1.2.3", {{kCtClass, "1.2.3.1", 0},
                                                  {kCtClass, "1.2.3.2", kFailureNoSuchInstance},
                                                  {kMrClass, "1.2.3.3", kFailureClassConflict}});
    ElementList report = CommitmentReport(checked);
    EXPECT_EQ(CommitmentEventType(checked), kCommitmentSomeFailed);
    std::vector<CommitmentReference> done = Items(report, 0x1199), failed = Items(report, 0x1198);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].sopInstance, "1.2.3.1");
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0].failureReason, kFailureNoSuchInstance);
    EXPECT_EQ(failed[1].sopInstance, "1.2.3.3");
    EXPECT_EQ(failed[1].failureReason, kFailureClassConflict);
    checked.references.resize(1);
    EXPECT_EQ(CommitmentEventType(checked), kCommitmentAllDone);
    EXPECT_TRUE(Items(CommitmentReport(checked), 0x1198).empty());
}

namespace {

struct ArchiveServer {
    explicit ArchiveServer(const TempDir& dir) {
        setup.storageFolder = dir.File("db");
        setup.instances = FolderInstanceSource(setup.storageFolder);
        StoreServerConfig config;
        config.port = "0";
        config.storageFolder = setup.storageFolder;
        config.databaseRoot = setup.storageFolder;
        config.receiveTimeoutSeconds = 10;
        config.addServices = [this](RequestHandlers& handlers, ServingPolicy& serving) {
            AddArchiveServices(setup, handlers, serving);
        };
        server = std::make_unique<StoreServer>(config);
        started = server->Start();
        port = std::to_string(server->Port());
    }
    ArchiveSetup setup;
    std::unique_ptr<StoreServer> server;
    bool started = false;
    std::string port;
};

// Sends the request on a fresh association and reads the event report that follows on it.
bool CommitAndReadReport(const std::string& port, const ElementList& request, uint16_t& actionStatus,
                         std::optional<uint16_t>& eventType, ElementList& report) {
    PDU pdu;
    std::string calling = "COMMITSCU";
    if (!OpenAssoc(pdu, "127.0.0.1", port, calling, "PELLA", kStorageCommitmentClass, "")) return false;
    DimseCommand action;
    action.commandField = kNActionRQ;
    action.requestedSopClass = kStorageCommitmentClass;
    action.requestedSopInstance = kStorageCommitmentInstance;
    action.actionTypeID = kCommitmentRequestAction;
    if (!SendRequest(pdu, FindContextID(pdu, kStorageCommitmentClass), action, &request)) return false;
    ReceivedCommand answer;
    if (!ReadResponse(pdu, answer) || !answer.command.status) return false;
    actionStatus = *answer.command.status;
    if (actionStatus != 0) {
        ReleaseAssociation(pdu);
        return true;
    }
    ReceivedCommand event;
    if (!ReadCommand(pdu, event) || event.command.commandField != kNEventReportRQ) return false;
    eventType = event.command.eventTypeID;
    ElementList raw;
    if (!ReadDataSet(pdu, raw) || !FlattenDataSet(raw, false, report)) return false;
    if (!SendResponse(pdu, MakeResponse(event, 0))) return false;
    ReleaseAssociation(pdu);
    return true;
}

}  // namespace

TEST(CommitmentProvider, StoredInstancesAreCommittedOthersReportedOnTheSameAssociation) {
    TempDir dir;
    ArchiveServer archive(dir);
    ASSERT_TRUE(archive.started);
    std::string calling = "STORESCU";
    ASSERT_TRUE(
        StoreSCU("127.0.0.1", archive.port, calling, "PELLA", PydicomFile("CT_small.dcm"), "", false));
    ASSERT_TRUE(
        StoreSCU("127.0.0.1", archive.port, calling, "PELLA", PydicomFile("MR_small.dcm"), "", false));
    ElementList ct, mr;
    ASSERT_TRUE(ReadHeaderForDump(PydicomFile("CT_small.dcm"), ct));
    ASSERT_TRUE(ReadHeaderForDump(PydicomFile("MR_small.dcm"), mr));
    std::string ctInstance = ElementUid(ct, 0x0008, 0x0018), mrInstance = ElementUid(mr, 0x0008, 0x0018);

    CommitmentRequest request = Request("1.2.826.0.1.3680043.2.1.77", {{kCtClass, ctInstance, 0},
                                                                       {kMrClass, mrInstance, 0},
                                                                       {kCtClass, "1.2.3.4.5.6.7.404", 0},
                                                                       {kCtClass, mrInstance, 0}});
    uint16_t status = 0xFFFF;
    std::optional<uint16_t> eventType;
    ElementList report;
    ASSERT_TRUE(CommitAndReadReport(archive.port, RequestDataSet(request), status, eventType, report));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(eventType, kCommitmentSomeFailed);
    std::vector<CommitmentReference> done = Items(report, 0x1199), failed = Items(report, 0x1198);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].sopInstance, ctInstance);
    EXPECT_EQ(done[1].sopInstance, mrInstance);
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0].sopInstance, "1.2.3.4.5.6.7.404");
    EXPECT_EQ(failed[0].failureReason, kFailureNoSuchInstance);
    EXPECT_EQ(failed[1].failureReason, kFailureClassConflict);
    EXPECT_EQ(ElementUid(report, 0x0008, 0x1195), "1.2.826.0.1.3680043.2.1.77");

    // Every instance there: event type 1. A file removed from disk is no longer committed.
    request.references.resize(2);
    ElementList complete;
    ASSERT_TRUE(CommitAndReadReport(archive.port, RequestDataSet(request), status, eventType, complete));
    EXPECT_EQ(eventType, kCommitmentAllDone);
    std::filesystem::remove_all(dir.File("db/") + ElementUid(mr, 0x0020, 0x000D));
    ElementList after;
    ASSERT_TRUE(CommitAndReadReport(archive.port, RequestDataSet(request), status, eventType, after));
    EXPECT_EQ(eventType, kCommitmentSomeFailed);
    ASSERT_EQ(Items(after, 0x1198).size(), 1u);
    EXPECT_EQ(Items(after, 0x1198)[0].sopInstance, mrInstance);

    // A request without a transaction is refused at the N-ACTION; no report follows.
    std::optional<uint16_t> none;
    ElementList unused;
    ASSERT_TRUE(CommitAndReadReport(archive.port, RequestDataSet(Request("", {{kCtClass, ctInstance, 0}})),
                                    status, none, unused));
    EXPECT_EQ(status, 0x0115);
    EXPECT_FALSE(none.has_value());
}
