// pella version: prints the version of the library the tool runs on.
#include <cstdio>

#include "cli/args.h"
#include "cli/commands.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "version",
    "pella version [options]",
    "Prints the version of the library the tool runs on (MAJOR.MINOR.PATCH) and, when it\n"
    "differs, the version the tool was built with.",
    {},
    0,
    0,
};

}  // namespace

void PrintVersion() {
    char version[PELLA_VERSION_BUFFER_SIZE] = {};
    Version(version);
    std::printf("%s\n", version);
    if (std::string(version) != PELLA_VERSION) std::printf("built with %s\n", PELLA_VERSION);
}

int RunVersion(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    PrintVersion();
    return 0;
}

}  // namespace cli
