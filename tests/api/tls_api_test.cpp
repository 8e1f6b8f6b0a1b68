// TLS through the C API: a server started with StoreServerOptions.tls, and SetTLSSettings for
// the calls that request associations, process-wide, until changed.
#include <gtest/gtest.h>

#include <string>

#include "pella.h"
#include "support/last_failure.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

TEST(TlsApi, SettingsApplyToLaterCallsAndUnusableOnesKeepThePrevious) {
    TempDir dir;
    ASSERT_EQ(
        RunCommand({"bash", PELLA_SOURCE_DIR "/tests/support/make_tls_certificates.sh", dir.File("pem")})
            .exitCode,
        0);
    const std::string ca = dir.File("pem/ca.crt"), certificate = dir.File("pem/server.crt"),
                      key = dir.File("pem/server.key"), missing = dir.File("pem/none.crt");
    TLSSettings server{sizeof(TLSSettings), 1, certificate.c_str(), key.c_str(), nullptr, 0, 0};
    StoreServerOptions options{};
    options.size = sizeof options;
    options.tls = &server;
    StoreServerHandle* handle =
        StartStoreServerWithOptions(dir.File("store").c_str(), "0", dir.File("store").c_str(), &options);
    ASSERT_NE(handle, nullptr) << Reason();
    const std::string port = std::to_string(StoreServerPort(handle));

    TLSSettings verified{sizeof(TLSSettings), 1, nullptr, nullptr, ca.c_str(), 0, 0};
    TLSSettings unreadable{sizeof(TLSSettings), 1, nullptr, nullptr, missing.c_str(), 0, 0};
    TLSSettings unknownAuthority{sizeof(TLSSettings), 1, nullptr, nullptr, certificate.c_str(), 0, 0};
    const struct {
        const char* name;
        const TLSSettings* settings;
        uint8_t taken;
        uint8_t echoes;
        const char* reason;  // in LastFailureText after the failing call
    } steps[] = {
        {"plain TCP", nullptr, 1, 0, "A-ASSOCIATE-RQ"},
        {"CA of the server", &verified, 1, 1, ""},
        {"unreadable CA file: the previous settings stay", &unreadable, 0, 1, "cannot read"},
        {"a CA that did not issue the server's certificate", &unknownAuthority, 1, 0, "not accepted"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const uint8_t taken = SetTLSSettings(step.settings);
        EXPECT_EQ(taken, step.taken);
        if (taken == 0) {
            EXPECT_NE(Reason().find(step.reason), std::string::npos) << Reason();
        }
        char calling[17] = "";
        const uint8_t echoed = EchoSCU("localhost", port.c_str(), calling, "ANY-SCP");
        EXPECT_EQ(echoed, step.echoes) << Reason();
        if (echoed == 0) {
            EXPECT_NE(Reason().find(step.reason), std::string::npos) << Reason();
        }
    }
    SetTLSSettings(nullptr);
    StopStoreServer(handle);
}

}  // namespace
