// Which handler answers which request: the table of the storage server, and requests without a
// handler ending the association through the real server.
#include "services/storage/request_handlers.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "net/dimse/command_set.h"
#include "net/dimse/dimse_messages.h"
#include "services/storage/store_server.h"
#include "services/verification/echo.h"
#include "support/running_store_server.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

namespace fs = std::filesystem;
using testing_support::Bytes;
using testing_support::TempDir;

constexpr const char* kVerification = "1.2.840.10008.1.1";
constexpr const char* kCtImage = "1.2.840.10008.5.1.4.1.1.2";
constexpr const char* kMrImage = "1.2.840.10008.5.1.4.1.1.4";
constexpr const char* kRtPlan = "1.2.840.10008.5.1.4.1.1.481.5";
constexpr const char* kStudyRootFind = "1.2.840.10008.5.1.4.1.2.2.1";
constexpr const char* kStorageCommitment = "1.2.840.10008.1.20.1";

DimseCommand Request(uint16_t field, const std::string& affected, const std::string& requested = "") {
    DimseCommand command;
    command.commandField = field;
    command.affectedSopClass = affected;
    command.requestedSopClass = requested;
    return command;
}

TEST(RequestHandlers, TheServerAnswersEchoOfVerificationAndStoreOfStorageClasses) {
    StoreServerConfig config;
    RequestHandlers handlers = ServerRequestHandlers(config);
    struct Case {
        DimseCommand request;
        bool served;
    };
    const Case cases[] = {
        {Request(kCEchoRQ, kVerification), true},
        {Request(kCStoreRQ, kCtImage), true},
        {Request(kCStoreRQ, kRtPlan), true},         // a storage class without pixel data
        {Request(kCStoreRQ, kVerification), false},  // not a storage class
        {Request(kCStoreRQ, "1.2.3.4"), false},      // no class this system knows
        {Request(kCStoreRQ, ""), false},             // names no class
        {Request(kCEchoRQ, kCtImage), false},        // C-ECHO is the Verification class's
        {Request(kCFindRQ, kStudyRootFind), false},  // query is not served here
        {Request(kCMoveRQ, kStudyRootFind), false},
        {Request(kNActionRQ, "", kStorageCommitment), false},
        {Request(kCStoreRSP, kCtImage), false},  // a response is no request
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.request.commandField) + " " + RequestSopClass(c.request));
        EXPECT_EQ(handlers.Find(c.request) != nullptr, c.served);
    }
}

TEST(RequestHandlers, AnExactClassComesBeforeAnyStorageClassAndNServicesGoByTheirRequestedClass) {
    std::string called;
    auto handler = [&called](std::string name) {
        return [&called, name](PDU&, const ReceivedCommand&) {
            called = name;
            return true;
        };
    };
    RequestHandlers handlers;
    handlers.AddForStorageClasses(kCStoreRQ, handler("any storage"));
    handlers.Add(kCStoreRQ, kMrImage, handler("MR"));
    handlers.Add(kNActionRQ, kStorageCommitment, handler("commitment"));
    struct Case {
        DimseCommand request;
        const char* handler;
    };
    const Case cases[] = {
        {Request(kCStoreRQ, kMrImage), "MR"},
        {Request(kCStoreRQ, kCtImage), "any storage"},
        {Request(kNActionRQ, "", kStorageCommitment), "commitment"},
        {Request(kNActionRQ, kStorageCommitment), "commitment"},
    };
    PDU unused;
    for (const Case& c : cases) {
        const RequestHandler* found = handlers.Find(c.request);
        ASSERT_NE(found, nullptr) << c.handler;
        called.clear();
        ReceivedCommand received{c.request, 1};
        EXPECT_TRUE((*found)(unused, received));
        EXPECT_EQ(called, c.handler);
    }
    EXPECT_EQ(handlers.Find(Request(kNActionRQ, "", kMrImage)), nullptr);
}

// A request no handler is registered for is never answered: the server aborts the association
// (source 0, reason 0), files nothing, and goes on serving others.
TEST(RequestHandlers, ARequestWithoutAHandlerEndsTheAssociation) {
    TempDir dir;
    testing_support::RunningServer running(dir);
    ASSERT_TRUE(running.started);
    struct Case {
        const char* what;
        uint8_t contextID;  // 1: Verification, 3: MR
        DimseCommand request;
    };
    // Commands only: the server ends the association before it would read a data set.
    const Case cases[] = {
        {"C-ECHO naming MR on the MR context", 3, Request(kCEchoRQ, kMrImage)},
        {"C-STORE naming Verification", 1, Request(kCStoreRQ, kVerification)},
        {"C-FIND naming MR", 3, Request(kCFindRQ, kMrImage)},
        {"N-ACTION naming MR", 3, Request(kNActionRQ, "", kMrImage)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PDU pdu(10);
        std::string calling = "TESTER";
        ASSERT_TRUE(
            BuildRequest(pdu, calling, "PELLA",
                         {{kVerification, {"1.2.840.10008.1.2"}}, {kMrImage, {"1.2.840.10008.1.2.1"}}}));
        ASSERT_TRUE(RequestAssociation(pdu, "127.0.0.1", running.port));
        DimseCommand request = c.request;
        ASSERT_TRUE(SendRequest(pdu, c.contextID, request));
        Bytes header(10);
        ASSERT_TRUE(pdu.buffer.ReadBytes(header.data(), header.size()));
        EXPECT_EQ(header, testing_support::kAbort);
    }
    // Requests with a handler are still answered, and nothing was filed.
    std::string calling;
    EXPECT_TRUE(EchoSCU("127.0.0.1", running.port, calling, "PELLA"));
    running.server->Stop();
    EXPECT_FALSE(fs::exists(dir.Path() / "db" / "1.2.840.10008.1.1"));
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path() / "db"))
        if (entry.path().extension() == ".dcm") ++files;
    EXPECT_EQ(files, 0u);
}

}  // namespace
}  // namespace pella
