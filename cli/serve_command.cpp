// pella serve: runs the storage server in the foreground until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "cli/tls_options.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "serve",
    "pella serve [options]",
    "Runs the storage server (C-STORE, C-ECHO, and C-FIND of Patient and Study Root over what it\n"
    "stored) in the foreground, serving up to\n"
    "--max-associations associations at once; one more is rejected (transient, local limit\n"
    "exceeded). What it stored is retrieved with C-MOVE (to the peers of --peers) and C-GET,\n"
    "Patient and Study Root, and storage commitment is answered. Received objects are written\n"
    "to DIR/<Study UID>/<Series UID>/<SOP Instance UID>.dcm and indexed in DIR/KPStudy.dir,\n"
    "Series.dir and Image.dir; each object is written\n"
    "to the file system (with --sync: flushed to the device) before its sender is told success;\n"
    "it is written to its file as it arrives, so memory stays small whatever its size. Each\n"
    "object is also recorded in the archive index DIR/index.sqlite (or the PostgreSQL database\n"
    "of --index) in the same step; an index that did not exist is built from the files before\n"
    "the server listens. Several servers (other ports or hosts) may share one storage folder\n"
    "and one PostgreSQL index: each answers C-FIND, C-MOVE and C-GET for every stored object.\n"
    "Every storage class of the standard is accepted unless --sop-classes original. Stops on\n"
    "SIGINT or SIGTERM within about a second, aborting open associations. The log goes to\n"
    "standard error unless --log names a file. Who may call is set by --peers with\n"
    "--require-known-peers and by --users with --require-user; --audit keeps a trail and\n"
    "--max-storage a quota.",
    {
        {{"--port", "-p"}, "PORT", "port to listen on (default 11112)"},
        {{"--dir", "-od"}, "DIR", "storage folder and database root (default ./Database)"},
        {{"--aet", "-aet"}, "AETITLE", "this server's AE title (default PELLA)"},
        {{"--require-called-aet"}, "", "reject associations whose called AE title is not this server's"},
        {{"--max-associations"}, "N", "associations served at once (default 32)"},
        {{"--acse-timeout", "-ta"},
         "SECONDS",
         "time for a connection's whole association request (default 30)"},
        {{"--dimse-timeout", "-td"},
         "SECONDS",
         "wait for the peer within and between messages, and time for each PDU (default 60)"},
        {{"--max-object-size"},
         "SIZE",
         "largest object received, e.g. 4G (K, M, G, T: powers of 1024; default 4G); a larger one\n"
         "      aborts its association"},
        {{"--min-free"},
         "SIZE",
         "free space kept on the storage disk (default 1G): a store that begins under it is\n"
         "      answered Out of Resources (0xA700), one that would go under it is aborted"},
        {{"--sync"}, "", "flush each object and its index lines to the device before answering"},
        {{"--reindex"}, "", "rebuild the archive index from the stored files before listening"},
        {{"--index"},
         "LOCATION",
         "keep the archive index in PostgreSQL, postgresql://[user@]host[:port]/db (default: the\n"
         "      environment variable PELLA_INDEX, else DIR/index.sqlite); several servers on one\n"
         "      storage folder share it. The password comes from PGPASSWORD or ~/.pgpass"},
        {{"--peers"},
         "FILE",
         "peers file: one peer a line, AE HOST PORT [SERVICES], # comments, port 0 never called;\n"
         "      the destinations of C-MOVE. HOST may be a CIDR range (10.0.0.0/8) of the addresses\n"
         "      the peer calls from; SERVICES (echo,store,find,move,get,commit; all when absent)\n"
         "      what it may use: contexts of the others are refused (user rejection)"},
        {{"--require-known-peers"},
         "",
         "reject a calling AE title not in --peers, or one calling from an address its HOST does\n"
         "      not admit (A-ASSOCIATE-RJ 1/1/3: calling AE title not recognised)"},
        {{"--users"},
         "FILE",
         "credentials file (made with 'pella user add FILE NAME') that user identities (username,\n"
         "      username and password) are checked against; an admitted user is confirmed when asked"},
        {{"--require-user"},
         "",
         "reject an association without an admitted user identity (A-ASSOCIATE-RJ 1/1/1)"},
        {{"--audit"},
         "FILE",
         "append one JSON line per association and per study stored, queried or retrieved to FILE\n"
         "      (reopened when renamed or removed, so it rotates like the log)"},
        {{"--max-storage"},
         "SIZE",
         "bytes the stored objects may take, e.g. 500G (measured once at start, then counted):\n"
         "      a store beyond it is answered Out of Resources (0xA700)"},
        MaxPduOption(),
        {{"--sop-classes"}, "SET", "all (default: every storage class) or original (the classic table)"},
        {{"--log"}, "FILE", "write the protocol log to FILE instead of standard error"},
        {{"--log-level", "-ll"}, "N", "0 failures, 1 progress (default), 2 messages, 3 hex dumps"},
    },
    0,
    0,
};

// The options above and the TLS ones.
CommandSpec ServeSpec() {
    CommandSpec spec = kSpec;
    for (OptionSpec& option : ServerTlsOptions()) spec.options.push_back(std::move(option));
    return spec;
}

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
    if (int exit = ParseOrExit(ServeSpec(), argv, args); exit >= 0) return exit;
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
    StoreServerOptions options{};
    options.size = sizeof options;
    options.aeTitle = aet.c_str();
    options.requireCalledAETitle = args.Has("--require-called-aet") ? 1 : 0;
    options.sync = args.Has("--sync") ? 1 : 0;
    options.reindex = args.Has("--reindex") ? 1 : 0;
    const char* environmentIndex = std::getenv("PELLA_INDEX");
    std::string index = args.ValueOr("--index", environmentIndex ? environmentIndex : "");
    options.archiveIndex = index.c_str();
    std::string peers = args.ValueOr("--peers", "");
    options.peersFile = peers.c_str();
    options.requireKnownPeers = args.Has("--require-known-peers") ? 1 : 0;
    if (options.requireKnownPeers != 0 && peers.empty()) {
        std::fprintf(stderr, "pella serve: --require-known-peers wants --peers FILE\n");
        return 2;
    }
    std::string users = args.ValueOr("--users", "");
    options.usersFile = users.c_str();
    options.requireUser = args.Has("--require-user") ? 1 : 0;
    if (options.requireUser != 0 && users.empty()) {
        std::fprintf(stderr, "pella serve: --require-user wants --users FILE\n");
        return 2;
    }
    std::string audit = args.ValueOr("--audit", "");
    options.auditFile = audit.c_str();
    ServerTls tls;
    if (!ReadServerTlsOptions(args, tls)) return 2;
    options.tls = &tls.settings;
    if (!ParseMaxPdu("serve", args, options.maxPduLength)) return 2;
    const struct {
        const char* flag;
        int32_t* field;
    } numbers[] = {{"--max-associations", &options.maxAssociations},
                   {"--acse-timeout", &options.acseTimeoutSeconds},
                   {"--dimse-timeout", &options.dimseTimeoutSeconds}};
    for (const auto& number : numbers) {
        long value = 0;
        if (auto text = args.Value(number.flag)) {
            if (!ParseNumber(*text, 1, 100000, value)) {
                std::fprintf(stderr, "pella serve: %s wants a number from 1 to 100000\n", number.flag);
                return 2;
            }
            *number.field = static_cast<int32_t>(value);
        }
    }
    const struct {
        const char* flag;
        uint64_t* field;
    } sizes[] = {{"--max-object-size", &options.maxObjectSize},
                 {"--min-free", &options.minFreeBytes},
                 {"--max-storage", &options.maxStorage}};
    for (const auto& size : sizes) {
        if (auto text = args.Value(size.flag); text && !ParseByteSize(*text, *size.field)) {
            std::fprintf(stderr, "pella serve: %s wants a size such as 4294967296, 512M or 4G\n", size.flag);
            return 2;
        }
    }
    std::string classes = args.ValueOr("--sop-classes", "all");
    if (classes != "all" && classes != "original") {
        std::fprintf(stderr, "pella serve: --sop-classes wants all or original\n");
        return 2;
    }
    options.originalSopClasses = classes == "original" ? 1 : 0;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "pella serve: cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    std::string logFile = args.ValueOr("--log", "-");
    SetLOG(logFile.c_str(), static_cast<int32_t>(level));

    sigset_t signals = BlockStopSignals();
    StoreServerHandle* server =
        StartStoreServerWithOptions(folder.c_str(), port.c_str(), folder.c_str(), &options);
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
