// Who may call pella serve, checked with DCMTK's tools: peers by title, address and services,
// users by user identity negotiation, the storage quota, and the audit trail those associations
// leave, also when eight peers call at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/loopback_listener.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> FileLines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int CountContaining(const std::vector<std::string>& lines, const std::vector<std::string>& parts) {
    int count = 0;
    for (const std::string& line : lines) {
        bool all = true;
        for (const std::string& part : parts) all = all && line.find(part) != std::string::npos;
        count += all ? 1 : 0;
    }
    return count;
}

// Every line of the audit file parses as one JSON object (no line cut or interleaved).
bool EveryLineIsJson(const std::string& file) {
    return RunCommand({"/usr/bin/python3", "-c",
                       "import json,sys\nfor l in open(sys.argv[1]): assert isinstance(json.loads(l), dict)",
                       file})
               .exitCode == 0;
}

void AddUser(const std::string& users, const std::string& name, const std::string& password) {
    std::string command = password.empty()
                              ? Quote(PELLA_CLI_PATH) + " user add --no-password " + Quote(users) + " " + name
                              : "printf '%s\\n' " + Quote(password) + " | " + Quote(PELLA_CLI_PATH) +
                                    " user add " + Quote(users) + " " + name;
    ASSERT_TRUE(RunTool(command)) << command;
}

}  // namespace

struct Call {
    std::vector<std::string> argv;
    bool succeeds;
    std::string printed;  // what the tool prints, or ""
};

void ExpectCalls(const std::vector<Call>& calls) {
    for (const Call& call : calls) {
        std::string line;
        for (const std::string& word : call.argv) line += Quote(word) + " ";
        CommandResult result = Capture(line);
        SCOPED_TRACE(line + "\n" + result.out);
        EXPECT_EQ(result.exitCode == 0, call.succeeds);
        EXPECT_NE(result.out.find(call.printed), std::string::npos);
    }
}

// Peers against echoscu and storescu: each call's outcome and the reason storescu prints; stores
// up to the quota, refused with 0xA700 beyond it; and the audit line of each association and
// study.
TEST(ServeAccess, PeersAndQuotaAsDcmtkSeesThem) {
    TempDir dir;
    std::string peers = dir.File("peers.txt"), audit = dir.File("audit.jsonl");
    std::ofstream(peers) << "ECHOONLY 127.0.0.1 0 echo\n"
                            "FAR      10.9.0.0/16 0\n"
                            "STORER   127.0.0.0/8 0 store,ECHO\n";
    // CT_small is filed in about 39 KiB and MR_small in about 10 KiB: the quota takes the first
    // and refuses the second.
    ServeProcess serve(dir.File("db"), {"--peers", peers, "--require-known-peers", "--audit", audit,
                                        "--max-storage", "45000"});
    ASSERT_TRUE(serve.started);
    std::string port = std::to_string(serve.port);
    std::string ct = PydicomFile("CT_small.dcm"), mr = PydicomFile("MR_small.dcm");
    ExpectCalls({
        {{"echoscu", "-aet", "ECHOONLY", "127.0.0.1", port}, true, ""},
        {{"storescu", "-aet", "ECHOONLY", "127.0.0.1", port, ct},
         false,
         "No Acceptable Presentation Contexts"},
        {{"storescu", "-aet", "NOBODY", "127.0.0.1", port, ct},
         false,
         "Reason: Calling AE Title Not Recognized"},
        {{"storescu", "-aet", "FAR", "127.0.0.1", port, ct},
         false,
         "Result: Rejected Permanent, Source: Service User"},
        {{"storescu", "-aet", "STORER", "127.0.0.1", port, ct}, true, ""},
        {{"storescu", "-aet", "STORER", "127.0.0.1", port, mr}, false, ""},
        {{PELLA_CLI_PATH, "store", "-aet", "STORER", "127.0.0.1", port, mr}, false, "status 0xA700"},
    });
    // The server writes an association's line after answering its release, so it is stopped
    // (its associations finished) before the trail is read.
    serve.process.Stop();
    std::vector<std::string> lines = FileLines(audit);
    EXPECT_TRUE(EveryLineIsJson(audit));
    EXPECT_EQ(CountContaining(lines, {"\"event\":\"association\""}), 7);
    EXPECT_EQ(CountContaining(lines, {"\"peer\":\"NOBODY\"", "\"outcome\":\"rejected\""}), 1);
    EXPECT_EQ(CountContaining(lines, {"\"peer\":\"FAR\"", "\"outcome\":\"rejected\""}), 1);
    EXPECT_EQ(CountContaining(lines, {"\"peer\":\"ECHOONLY\"", "\"outcome\":\"refused\""}), 1);
    EXPECT_EQ(CountContaining(lines, {"\"event\":\"study\"", "\"service\":\"store\"", "\"stored\":1",
                                      "\"outcome\":\"success\""}),
              1);
    EXPECT_EQ(CountContaining(lines, {"\"event\":\"study\"", "\"failed\":1", "\"outcome\":\"failure\""}), 2);
    EXPECT_EQ(CountContaining(lines, {"\"event\":\"study\""}), 3);
}

// Users against storescu (--user, --password, -rsp asking for the positive response) and pella's
// own client (the password from PELLA_PASSWORD), with a user identity required.
TEST(ServeAccess, UsersAsDcmtkSeesThem) {
    TempDir dir;
    std::string users = dir.File("users.txt");
    AddUser(users, "alice", "s3cret");
    AddUser(users, "bob", "");
    ServeProcess serve(dir.File("db"), {"--users", users, "--require-user"});
    ASSERT_TRUE(serve.started);
    std::string port = std::to_string(serve.port);
    std::string ct = PydicomFile("CT_small.dcm");
    const std::string rejected = "Result: Rejected Permanent, Source: Service User";
    ExpectCalls({
        {{"storescu", "127.0.0.1", port, ct}, false, rejected},
        {{"storescu", "--user", "alice", "--password", "wrong", "127.0.0.1", port, ct},
         false,
         "Reason: No Reason"},
        {{"storescu", "--user", "alice", "127.0.0.1", port, ct}, false, "Reason: No Reason"},
        {{"storescu", "--user", "mallory", "--password", "s3cret", "127.0.0.1", port, ct}, false, rejected},
        {{"storescu", "--user", "bob", "--password", "x", "127.0.0.1", port, ct}, false, rejected},
        {{"storescu", "--user", "alice", "--password", "s3cret", "-rsp", "127.0.0.1", port, ct}, true, ""},
        {{"storescu", "--user", "bob", "-rsp", "127.0.0.1", port, ct}, true, ""},
    });
    CommandResult own =
        Capture("PELLA_PASSWORD=s3cret " + Quote(PELLA_CLI_PATH) + " echo --user alice 127.0.0.1 " + port);
    EXPECT_EQ(own.exitCode, 0) << own.out;
    CommandResult wrong =
        Capture("PELLA_PASSWORD=nope " + Quote(PELLA_CLI_PATH) + " echo --user alice 127.0.0.1 " + port);
    EXPECT_NE(wrong.exitCode, 0) << wrong.out;
}

// Eight peers at once (two each of storescu, findscu, movescu and echoscu): the audit file holds
// exactly one whole line per association and per study each of them touched.
TEST(ServeAccess, AuditOfEightPeersAtOnce) {
    TempDir dir;
    std::string peers = dir.File("peers.txt"), audit = dir.File("audit.jsonl");
    int move1 = FreePort(), move2 = FreePort();
    std::ofstream(peers) << "MOVE1 127.0.0.1 " << move1 << "\nMOVE2 127.0.0.1 " << move2 << "\n";
    ServeProcess serve(dir.File("db"), {"--peers", peers, "--audit", audit});
    ASSERT_TRUE(serve.started);
    std::string port = std::to_string(serve.port);
    std::string ct = PydicomFile("CT_small.dcm"), mr = PydicomFile("MR_small.dcm");
    ASSERT_EQ(RunCommand({"storescu", "127.0.0.1", port, ct, mr}).exitCode, 0);
    const std::string ctStudy = "1.3.6.1.4.1.5962.1.2.1.20040119072730.12322";
    fs::create_directories(dir.File("in1"));
    fs::create_directories(dir.File("in2"));
    std::string find =
        "findscu -S -k QueryRetrieveLevel=STUDY -k StudyInstanceUID=" + ctStudy + " 127.0.0.1 " + port;
    auto move = [&](const std::string& aet, int movePort, const std::string& folder) {
        return "movescu -S -aet " + aet + " -aem " + aet + " +P " + std::to_string(movePort) + " -od " +
               Quote(folder) + " -k QueryRetrieveLevel=STUDY -k StudyInstanceUID=" + ctStudy + " 127.0.0.1 " +
               port;
    };
    std::string all = "storescu 127.0.0.1 " + port + " " + Quote(ct) + " & storescu 127.0.0.1 " + port + " " +
                      Quote(mr) + " & " + find + " & " + find + " & " +
                      move("MOVE1", move1, dir.File("in1")) + " & " + move("MOVE2", move2, dir.File("in2")) +
                      " & echoscu 127.0.0.1 " + port + " & echoscu 127.0.0.1 " + port + " & wait";
    ASSERT_TRUE(RunTool(all));
    EXPECT_EQ(fs::directory_iterator(dir.File("in1")) == fs::directory_iterator(), false);
    EXPECT_EQ(fs::directory_iterator(dir.File("in2")) == fs::directory_iterator(), false);

    // The server writes an association's line after answering its release, so it is stopped
    // (its associations finished) before the trail is read.
    serve.process.Stop();
    std::vector<std::string> lines = FileLines(audit);
    EXPECT_TRUE(EveryLineIsJson(audit));
    EXPECT_EQ(lines.size(), 9u + 8u);  // 1 + 8 associations; 2 + 2 stored, 2 queried, 2 moved studies
    EXPECT_EQ(CountContaining(lines, {"\"event\":\"association\""}), 9);
    EXPECT_EQ(CountContaining(lines, {"\"service\":\"store\"", "\"outcome\":\"success\""}), 4);
    EXPECT_EQ(CountContaining(lines, {"\"service\":\"find\"", ctStudy, "\"matches\":1"}), 2);
    EXPECT_EQ(CountContaining(
                  lines, {"\"service\":\"move\"", ctStudy, "\"completed\":1", "\"outcome\":\"success\""}),
              2);
    EXPECT_EQ(CountContaining(lines, {"\"peer\":\"MOVE1\""}), 2);
}
