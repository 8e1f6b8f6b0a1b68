// pella index migrate: copies a storage folder's archive index into PostgreSQL.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "index",
    "pella index migrate --from DIR --to postgresql://[user@]host[:port]/db [options]",
    "Copies the archive index of the storage folder DIR into a PostgreSQL database, whose index\n"
    "rows are replaced: the rows of DIR/index.sqlite, or, when DIR has none, the index rebuilt\n"
    "from the stored files. The tables are made when missing. Progress goes to standard error.\n"
    "The password, when the database wants one, comes from PGPASSWORD or ~/.pgpass, never from\n"
    "the command line. Afterwards, `pella serve --dir DIR --index postgresql://...` serves from it.",
    {
        {{"--from"}, "DIR", "the storage folder whose index is copied"},
        {{"--to"}, "LOCATION", "the PostgreSQL database (default: the environment variable PELLA_INDEX)"},
        {{"--quiet", "-q"}, "", "no progress lines"},
    },
    1,
    1,
};

void PrintProgress(uint64_t copied, uint8_t finished, void*) {
    std::fprintf(stderr, "%s %llu objects\n",
                 finished ? "Copied" : "Copying:", static_cast<unsigned long long>(copied));
}

}  // namespace

int RunIndex(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    if (args.Positionals()[0] != "migrate") {
        std::fprintf(stderr, "pella index: unknown action '%s' (migrate is the one)\n",
                     args.Positionals()[0].c_str());
        return 2;
    }
    const char* environment = std::getenv("PELLA_INDEX");
    std::string from = args.ValueOr("--from", "");
    std::string to = args.ValueOr("--to", environment ? environment : "");
    if (from.empty() || to.empty()) {
        std::fprintf(stderr, "pella index migrate: --from and --to (or PELLA_INDEX) are needed\n");
        return 2;
    }
    int64_t copied =
        MigrateArchiveIndex(from.c_str(), to.c_str(), args.Has("--quiet") ? nullptr : PrintProgress, nullptr);
    if (copied < 0) {
        std::fprintf(stderr, "pella index migrate: %s\n", FailureReason("the index was not copied").c_str());
        return 1;
    }
    return 0;
}

}  // namespace cli
