// pella check-uid UID...: tells whether each text is a valid UID.
#include <cstdio>

#include "cli/args.h"
#include "cli/commands.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "check-uid",
    "pella check-uid [options] UID...",
    "Checks each UID by the rule the library applies everywhere: after one trailing zero byte\n"
    "or space is removed, 1 to 64 characters of digit runs separated by single dots. Prints\n"
    "\"valid\" or \"invalid\" per UID; exit code 0 only when every UID is valid.",
    {},
    1,
    static_cast<std::size_t>(-1),
};

}  // namespace

int RunCheckUid(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    bool all = true;
    for (const std::string& uid : args.Positionals()) {
        bool valid = IsValidUID(uid.c_str()) != 0;
        all = all && valid;
        std::printf("%s: %s\n", valid ? "valid" : "invalid", uid.c_str());
        if (!valid) std::fprintf(stderr, "pella check-uid: '%s' is not a valid UID\n", uid.c_str());
    }
    return all ? 0 : 1;
}

}  // namespace cli
