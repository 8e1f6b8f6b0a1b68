// pella dump FILE: the meta and data-set elements of a Part 10 file with dictionary names.
#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "dump",
    "pella dump [options] FILE",
    "Reads a DICOM Part 10 file and prints one line per element, file meta information first,\n"
    "then the data set: \"(gggg, eeee), length, VR  \\\"value\\\" - name\", with names from the\n"
    "built-in data dictionary. Values of 256 bytes or more are not shown; elements inside\n"
    "undefined-length items are prefixed with \".....\". Implicit VR data sets show the\n"
    "dictionary's VRs.",
    {},
    1,
    1,
};

}  // namespace

int RunDump(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    const std::string& file = args.Positionals()[0];
    OwnedList meta = NewList();
    OwnedList data = NewList();
    uint8_t explicitVR = 1;
    if (!meta || !data || !DICOMFile(file.c_str(), meta.get(), data.get(), &explicitVR)) {
        PrintUnreadableFile("dump", file);
        return 1;
    }
    PrintMemoDump(meta.get(), true);
    PrintMemoDump(data.get(), explicitVR != 0);
    return 0;
}

}  // namespace cli
