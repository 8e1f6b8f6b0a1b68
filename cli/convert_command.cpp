// pella convert IN OUT SYNTAX: writes a DICOM file in another transfer syntax.
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
        "convert",
        "pella convert [options] IN OUT SYNTAX",
        "Writes the DICOM Part 10 file IN as OUT in the transfer syntax SYNTAX: values\n"
        "re-encoded, group lengths recomputed, pixel data decompressed or compressed (JPEG\n"
        "lossless for 8 or 16 bits allocated, JPEG baseline for 8). A file already in SYNTAX is\n"
        "copied unchanged. OUT is overwritten; nothing is written when the conversion fails.\n"
        "Exit code 0 only on success. SYNTAX is a transfer syntax UID or one of:\n" +
            TransferSyntaxNameTable(),
        {},
        3,
        3,
    };
}

}  // namespace

int RunConvert(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(Spec(), argv, args); exit >= 0) return exit;
    const std::string& in = args.Positionals()[0];
    const std::string& out = args.Positionals()[1];
    const std::string& syntaxName = args.Positionals()[2];
    std::optional<std::string> syntax = ResolveTransferSyntaxArgument("convert", syntaxName);
    if (!syntax) return 2;
    if (!ConvertFileTS(out.c_str(), in.c_str(), syntax->c_str())) {
        std::fprintf(stderr, "pella convert: %s: %s\n", in.c_str(),
                     FailureReason("conversion to " + *syntax + " failed").c_str());
        return 1;
    }
    return 0;
}

}  // namespace cli
