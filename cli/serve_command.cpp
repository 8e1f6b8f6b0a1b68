// pella serve: runs the storage server in the foreground until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "serve",
    "pella serve [options]",
    "Runs the storage server (C-STORE and C-ECHO) in the foreground. Received objects are\n"
    "written to DIR/<Study UID>/<Series UID>/<SOP Instance UID>.dcm and indexed in\n"
    "DIR/KPStudy.dir, Series.dir and Image.dir; each object is on disk before its sender is\n"
    "told success. Stops cleanly on SIGINT or SIGTERM. The log goes to standard error unless\n"
    "--log names a file.",
    {
        {{"--port", "-p"}, "PORT", "port to listen on (default 11112)"},
        {{"--dir", "-od"}, "DIR", "storage folder and database root (default ./Database)"},
        {{"--aet", "-aet"}, "AETITLE", "this server's AE title (default PELLA)"},
        {{"--require-called-aet"}, "", "reject associations whose called AE title is not this server's"},
        {{"--log"}, "FILE", "write the protocol log to FILE instead of standard error"},
        {{"--log-level", "-ll"}, "N", "0 failures, 1 progress (default), 2 messages, 3 hex dumps"},
    },
    0,
    0,
};

// Blocks the stop signals in every thread, so that only the waiting main thread takes them.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

}  // namespace

int RunServe(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    long level = 1;
    if (auto text = args.Value("--log-level"); text && !ParseNumber(*text, 0, 3, level)) {
        std::fprintf(stderr, "pella serve: --log-level wants 0, 1, 2 or 3\n");
        return 2;
    }
    std::string port = args.ValueOr("--port", "11112");
    std::string folder = args.ValueOr("--dir", "./Database");
    std::string aet = args.ValueOr("--aet", "PELLA");
    if (aet.empty() || aet.size() > 16) {
        std::fprintf(stderr, "pella serve: the AE title must have 1 to 16 characters\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "pella serve: cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    std::string logFile = args.ValueOr("--log", "-");
    SetLOG(logFile.c_str(), static_cast<int32_t>(level));

    sigset_t signals = BlockStopSignals();
    StoreServerHandle* server = StartStoreServerAs(folder.c_str(), port.c_str(), folder.c_str(), aet.c_str(),
                                                   args.Has("--require-called-aet") ? 1 : 0);
    if (server == nullptr) {
        std::fprintf(stderr, "pella serve: %s\n", FailureReason("cannot listen on port " + port).c_str());
        return 1;
    }
    std::fprintf(stderr, "pella serve: %s listening on port %d, storing into %s\n", aet.c_str(),
                 StoreServerPort(server), folder.c_str());
    int received = 0;
    sigwait(&signals, &received);
    std::fprintf(stderr, "pella serve: stopping (%s)\n", received == SIGINT ? "SIGINT" : "SIGTERM");
    StopStoreServer(server);
    return 0;
}

}  // namespace cli
