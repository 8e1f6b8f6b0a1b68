// pella echo HOST PORT: verifies a remote DICOM node with C-ECHO.
#include <cstdio>
#include <memory>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec{
        "echo",
        "pella echo [options] HOST PORT",
        "Verifies a remote DICOM application entity: opens an association for the Verification\n"
        "SOP class, sends C-ECHO and checks the response. Exit code 0 only when every echo\n"
        "succeeded.",
        NetworkOptions(),
        2,
        2,
    };
    spec.options.push_back({{"--repeat"}, "N", "send N echoes over one association (default 1)"});
    return spec;
}

constexpr const char* kVerification = PELLA_VERIFICATION;

struct HandleOwner {
    void operator()(PDU* pdu) const noexcept { DeletePDU(pdu); }
};

// N echoes on one association.
bool RepeatedEcho(const std::string& host, const std::string& port, NetworkSettings& settings, long repeat,
                  std::string& reason) {
    std::unique_ptr<PDU, HandleOwner> pdu(NewPDU());
    std::array<char, 17> calling = CallingTitleBuffer(settings);
    if (!pdu || !OpenAssoc(pdu.get(), host.c_str(), port.c_str(), calling.data(),
                           settings.calledAETitle.c_str(), kVerification, nullptr)) {
        reason = FailureReason("association not accepted");
        return false;
    }
    for (long i = 0; i < repeat; ++i) {
        if (!WriteEchoRQ(pdu.get(), kVerification) || !ReadEchoRSP(pdu.get())) {
            reason = FailureReason("echo " + std::to_string(i + 1) + " failed");
            CloseAssoc(pdu.get());
            return false;
        }
    }
    CloseAssoc(pdu.get());
    return true;
}

}  // namespace

int RunEcho(const std::vector<std::string>& argv) {
    CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    NetworkSettings settings;
    if (!ApplyNetworkOptions("echo", args, settings)) return 2;
    long repeat = 1;
    if (auto text = args.Value("--repeat"); text && !ParseNumber(*text, 1, 1000000, repeat)) {
        std::fprintf(stderr, "pella echo: --repeat wants a number from 1 to 1000000\n");
        return 2;
    }
    const std::string& host = args.Positionals()[0];
    const std::string& port = args.Positionals()[1];
    std::string reason;
    bool ok;
    if (repeat == 1) {
        std::array<char, 17> calling = CallingTitleBuffer(settings);
        ok = EchoSCU(host.c_str(), port.c_str(), calling.data(), settings.calledAETitle.c_str());
        if (!ok) reason = FailureReason("echo failed");
    } else {
        ok = RepeatedEcho(host, port, settings, repeat, reason);
    }
    if (!ok) {
        std::fprintf(stderr, "pella echo: %s:%s: %s\n", host.c_str(), port.c_str(), reason.c_str());
        return 1;
    }
    std::printf("Echo to %s:%s succeeded (%ld)\n", host.c_str(), port.c_str(), repeat);
    return 0;
}

}  // namespace cli
