// pella add-meta FILE SYNTAX: turns a bare data set file into a Part 10 file in place.
#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "cli/transfer_syntax_names.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    return {
        "add-meta",
        "pella add-meta [options] FILE SYNTAX",
        "Adds the 128-byte preamble, \"DICM\" and a file meta group to FILE, a bare data set\n"
        "encoded in SYNTAX, so that it becomes a DICOM Part 10 file. The meta group takes the SOP\n"
        "Class and SOP Instance UIDs from the data set. The file is replaced only once the new\n"
        "one is completely written. SYNTAX is a transfer syntax UID or one of:\n" +
            TransferSyntaxNameTable(),
        {},
        2,
        2,
    };
}

}  // namespace

int RunAddMeta(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(Spec(), argv, args); exit >= 0) return exit;
    const std::string& file = args.Positionals()[0];
    const std::string& syntaxName = args.Positionals()[1];
    std::optional<std::string> syntax = ResolveTransferSyntaxArgument("add-meta", syntaxName);
    if (!syntax) return 2;
    if (!AppendMetaHeader(file.c_str(), syntax->c_str())) {
        std::string reason = FailureReason("not a data set in " + *syntax);
        std::fprintf(stderr, "pella add-meta: %s; the file is unchanged\n", reason.c_str());
        return 1;
    }
    return 0;
}

}  // namespace cli
