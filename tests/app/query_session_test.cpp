// A query whose final response is a failure: the run stops reading there, releases the
// association at once and shows no match for the failed response.
#include <gtest/gtest.h>

#include "app/service_run.h"
#include "support/scripted_peer.h"

using namespace testing_support;

namespace {

TEST(QuerySession, FailureResponseEndsTheQueryAndIsNoMatch) {
    const std::string studyRootFind = "1.2.840.10008.5.1.4.1.2.2.1";
    ScriptedPeer peer;
    peer.ReadPdu()  // A-ASSOCIATE-RQ
        .Send(AcceptBytes(1, "1.2.840.10008.1.2"))
        .ReadPdu()                                                             // C-FIND-RQ command
        .ReadPdu()                                                             // its identifier
        .Send(PData(1, 0x03, ResponseCommand(studyRootFind, 0x8020, 0xC000)))  // unable to process
        .ReadPdu()                                                             // what comes next
        .Send(kReleaseRP);
    peer.Start();
    std::vector<std::string> memo;
    pellatool::TestRun run{{}, {}, [&](const std::string& line) { memo.push_back(line); }, {}};
    run.settings.remotePort = peer.PortText();
    EXPECT_FALSE(pellatool::RunFindTest(run));
    std::vector<Bytes> received = peer.Finish();
    ASSERT_EQ(received.size(), 4u) << "the query went on waiting after its final response";
    EXPECT_EQ(received[3][0], 0x05) << "no A-RELEASE-RQ after the final response";
    EXPECT_EQ(memo, (std::vector<std::string>{"No studies: 0", ""}));
}

}  // namespace
