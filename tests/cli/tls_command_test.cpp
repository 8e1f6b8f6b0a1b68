// TLS between pella and DCMTK's tools, both ways, with certificates made by openssl for each
// run: a good handshake carries the association, and every refused one (no TLS, an unknown
// authority, an expired certificate, another host's name, no client certificate where one is
// required) fails with its reason, stores nothing and leaves the server serving.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/log_file.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kCli = PELLA_CLI_PATH;

int CountFiles(const fs::path& folder, const std::string& extension = {}) {
    int count = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; it != end; it.increment(error))
        if (it->is_regular_file() && (extension.empty() || it->path().extension() == extension)) ++count;
    return count;
}

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        certificates_ = new TempDir();
        made_ = RunCommand({"bash", PELLA_SOURCE_DIR "/tests/support/make_tls_certificates.sh",
                            certificates_->Path().string()})
                    .exitCode == 0;
    }
    static void TearDownTestSuite() {
        delete certificates_;
        certificates_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(made_) << "openssl could not make the test certificates"; }
    static std::string Pem(const std::string& name) { return certificates_->File(name); }

    static TempDir* certificates_;
    static bool made_;
};

TempDir* TlsTest::certificates_ = nullptr;
bool TlsTest::made_ = false;

struct ClientCase {
    std::string name;
    std::vector<std::string> argv;  // "PORT" stands for the server's port
    bool succeeds;
    std::string reason;  // a text the failure's output holds
};

std::vector<std::string> WithPort(std::vector<std::string> argv, int port) {
    for (std::string& arg : argv)
        if (arg == "PORT") arg = std::to_string(port);
    return argv;
}

TEST_F(TlsTest, PellaServeTakesDcmtkAndPellaClientsOverMutualTlsAndRefusesTheRest) {
    TempDir dir;
    const std::string file = PydicomFile("CT_small.dcm");
    ServeProcess serve(dir.File("store"),
                       {"--tls-cert", Pem("server.crt"), "--tls-key", Pem("server.key"), "--tls-ca",
                        Pem("ca.crt"), "--tls-require-client-cert"},
                       dir.File("serve.log"));
    ASSERT_TRUE(serve.started);
    const std::vector<std::string> dcmtkTls = {"+tls", Pem("client.key"), Pem("client.crt"), "+cf",
                                               Pem("ca.crt")};
    const std::vector<std::string> pellaTls = {"--tls",           "--tls-ca",  Pem("ca.crt"),    "--tls-cert",
                                               Pem("client.crt"), "--tls-key", Pem("client.key")};
    auto with = [](std::vector<std::string> head, const std::vector<std::string>& options,
                   std::vector<std::string> tail) {
        head.insert(head.end(), options.begin(), options.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const std::vector<ClientCase> cases = {
        {"echoscu +tls", with({"echoscu"}, dcmtkTls, {"localhost", "PORT"}), true, ""},
        {"storescu +tls", with({"storescu"}, dcmtkTls, {"localhost", "PORT", file}), true, ""},
        {"findscu +tls",
         with({"findscu", "-v", "-S", "-k", "QueryRetrieveLevel=STUDY", "-k", "PatientID"}, dcmtkTls,
              {"localhost", "PORT"}),
         true, "CT1"},
        {"pella echo --tls", with({kCli, "echo"}, pellaTls, {"localhost", "PORT"}), true, ""},
        {"pella store --tls", with({kCli, "store"}, pellaTls, {"127.0.0.1", "PORT", file}), true, ""},
        {"plain echoscu", {"echoscu", "localhost", "PORT"}, false, ""},
        {"plain storescu", {"storescu", "localhost", "PORT", file}, false, ""},
        {"plain pella store", {kCli, "store", "localhost", "PORT", file}, false, "A-ASSOCIATE-RQ"},
        {"pella without a client certificate",
         {kCli, "echo", "--tls", "--tls-ca", Pem("ca.crt"), "localhost", "PORT"},
         false,
         "certificate"},
        {"storescu with a certificate of an unknown authority",
         {"storescu", "+tls", Pem("stranger.key"), Pem("stranger.crt"), "+cf", Pem("ca.crt"), "localhost",
          "PORT", file},
         false,
         ""},
    };
    int stored = 0;
    for (const ClientCase& client : cases) {
        SCOPED_TRACE(client.name);
        CommandResult result = RunCommand(WithPort(client.argv, serve.port), true);
        EXPECT_FALSE(result.signaled) << result.out;
        EXPECT_EQ(result.exitCode == 0, client.succeeds) << result.out;
        if (!client.reason.empty()) {
            EXPECT_NE(result.out.find(client.reason), std::string::npos) << result.out;
        }
        if (client.succeeds && client.argv.back() == "PORT") continue;
        if (client.succeeds) ++stored;
        // Only a store that got through leaves an object, and the server still answers.
        EXPECT_EQ(CountFiles(dir.File("store"), ".dcm"), stored > 0 ? 1 : 0);
        EXPECT_EQ(
            RunCommand(WithPort(with({"echoscu"}, dcmtkTls, {"localhost", "PORT"}), serve.port)).exitCode, 0);
    }
    const std::string log = ReadText(dir.File("serve.log"));
    EXPECT_NE(log.find("does not speak TLS"), std::string::npos) << log;
    EXPECT_NE(log.find("certificate"), std::string::npos) << log;
}

TEST_F(TlsTest, PellaClientsCheckTheCertificateOfStorescp) {
    struct ServerCase {
        std::string name;
        std::vector<std::string> storescp;  // storescp's TLS options
        std::vector<std::string> client;    // pella's, before HOST PORT
        std::string host;
        bool succeeds;
        std::string reason;
    };
    const std::vector<std::string> mutual = {"--tls",           "--tls-ca",  Pem("ca.crt"),    "--tls-cert",
                                             Pem("client.crt"), "--tls-key", Pem("client.key")};
    const std::vector<std::string> serverOnly = {"--tls", "--tls-ca", Pem("ca.crt")};
    auto storescp = [&](const std::string& certificate, const std::string& key, const std::string& peers) {
        std::vector<std::string> options = {"+tls", Pem(key), Pem(certificate), "+cf", Pem("ca.crt")};
        options.push_back(peers);
        return options;
    };
    const std::vector<ServerCase> cases = {
        {"mutual TLS", storescp("server.crt", "server.key", "-rc"), mutual, "localhost", true, ""},
        {"by address", storescp("server.crt", "server.key", "-ic"), serverOnly, "127.0.0.1", true, ""},
        {"expired", storescp("expired.crt", "server.key", "-ic"), serverOnly, "localhost", false, "expired"},
        {"another name", storescp("wrongname.crt", "server.key", "-ic"), serverOnly, "localhost", false,
         "mismatch"},
        {"another name, not verified",
         storescp("wrongname.crt", "server.key", "-ic"),
         {"--tls", "--tls-no-verify"},
         "localhost",
         true,
         ""},
        {"unknown authority", storescp("stranger.crt", "stranger.key", "-ic"), serverOnly, "localhost", false,
         "issuer"},
        {"plain client", storescp("server.crt", "server.key", "-ic"), {}, "localhost", false, ""},
        {"plain server", {}, serverOnly, "localhost", false, "TLS"},
    };
    const std::string file = PydicomFile("CT_small.dcm");
    for (const ServerCase& server : cases) {
        SCOPED_TRACE(server.name);
        TempDir dir;
        fs::create_directories(dir.File("received"));
        PeerProcess peer;
        int port = StartStorescp(peer, dir.File("received"), server.storescp);
        ASSERT_GT(port, 0);
        for (const char* command : {"echo", "store"}) {
            std::vector<std::string> argv = {kCli, command};
            argv.insert(argv.end(), server.client.begin(), server.client.end());
            argv.insert(argv.end(), {server.host, std::to_string(port)});
            if (std::string(command) == "store") argv.push_back(file);
            CommandResult result = RunCommand(argv, true);
            EXPECT_FALSE(result.signaled) << result.out;
            EXPECT_EQ(result.exitCode == 0, server.succeeds) << command << ": " << result.out;
            if (!server.reason.empty()) {
                EXPECT_NE(result.out.find(server.reason), std::string::npos) << command << ": " << result.out;
            }
        }
        EXPECT_EQ(CountFiles(dir.File("received")), server.succeeds ? 1 : 0);
    }
}

TEST_F(TlsTest, PellaServeSpeaksTls12And13Only) {
    TempDir dir;
    ServeProcess serve(dir.File("store"), {"--tls-cert", Pem("server.crt"), "--tls-key", Pem("server.key")});
    ASSERT_TRUE(serve.started);
    const struct {
        const char* version;
        bool accepted;
    } cases[] = {{"-tls1", false}, {"-tls1_1", false}, {"-tls1_2", true}, {"-tls1_3", true}};
    for (const auto& probe : cases) {
        SCOPED_TRACE(probe.version);
        CommandResult result =
            RunShell("openssl s_client -connect 127.0.0.1:" + std::to_string(serve.port) + " " +
                     probe.version + " -CAfile " + Quote(Pem("ca.crt")) + " </dev/null 2>&1");
        const bool connected = result.out.find("Verify return code: 0 (ok)") != std::string::npos &&
                               result.out.find("Cipher is (NONE)") == std::string::npos;
        EXPECT_EQ(connected, probe.accepted) << result.out;
        if (probe.accepted) {
            // The version asked for, with a suite of the non-downgrading profile (AES-GCM).
            const std::string line =
                std::string("New, TLSv1.") + (probe.version[6] == '2' ? "2" : "3") + ", Cipher is ";
            std::size_t at = result.out.find(line);
            ASSERT_NE(at, std::string::npos) << result.out;
            EXPECT_NE(result.out.substr(at, result.out.find('\n', at) - at).find("GCM"), std::string::npos)
                << result.out;
        }
    }
    EXPECT_EQ(RunCommand(
                  {kCli, "echo", "--tls", "--tls-ca", Pem("ca.crt"), "localhost", std::to_string(serve.port)})
                  .exitCode,
              0);
}

TEST_F(TlsTest, UnusableSettingsFailBeforeAnyConnection) {
    TempDir dir;
    const struct {
        std::vector<std::string> argv;
        int exitCode;
        std::string reason;
    } cases[] = {
        {{"serve", "--tls-cert", Pem("server.crt"), "--tls-key", Pem("client.key")}, 1, "does not belong"},
        {{"serve", "--tls-cert", Pem("server.crt"), "--tls-key", dir.File("none.key")}, 1, "cannot read"},
        {{"serve", "--tls-cert", Pem("server.crt"), "--tls-key", Pem("server.key"),
          "--tls-require-client-cert"},
         2,
         "--tls-ca"},
        {{"serve", "--tls-cert", Pem("server.crt")}, 2, "--tls-key"},
        {{"echo", "--tls", "--tls-ca", dir.File("none.crt"), "localhost", "1"}, 2, "cannot read"},
        {{"echo", "--tls-ca", Pem("ca.crt"), "localhost", "1"}, 2, "needs --tls"},
        {{"echo", "--tls", "--tls-cert", Pem("client.crt"), "localhost", "1"}, 2, "private key"},
    };
    for (const auto& run : cases) {
        SCOPED_TRACE(run.argv[0] + " " + run.argv[1] + " " + run.argv.back());
        std::vector<std::string> argv = {"timeout", "20", kCli};
        argv.insert(argv.end(), run.argv.begin(), run.argv.end());
        if (run.argv[0] == "serve") argv.insert(argv.end(), {"--port", "0", "--dir", dir.File("store")});
        CommandResult result = RunCommand(argv, true);
        EXPECT_EQ(result.exitCode, run.exitCode) << result.out;
        EXPECT_NE(result.out.find(run.reason), std::string::npos) << result.out;
    }
}

}  // namespace
