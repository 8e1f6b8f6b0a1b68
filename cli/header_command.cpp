// pella header FILE: the elements in front of the pixel data, with dictionary names.
#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "header",
    "pella header [options] FILE",
    "Reads the elements of a DICOM Part 10 file up to the pixel data (file meta information\n"
    "included) without loading the pixel data, and prints one line per element in the format\n"
    "of 'pella dump'.",
    {},
    1,
    1,
};

// An implicit VR data set leaves the VRs outside the meta group empty: the dump then shows
// the dictionary's VRs.
bool HasVRs(const ElementList* list) {
    for (int32_t i = 0; i < ElementCount(list); ++i) {
        const DataElement* e = ElementAt(list, i);
        if (e->group != 0x0002 && e->group != 0xFFFE && e->vr[0] == '\0') return false;
    }
    return true;
}

}  // namespace

int RunHeader(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    const std::string& file = args.Positionals()[0];
    OwnedList list = NewList();
    if (!list || !DICOMHeader(file.c_str(), list.get())) {
        PrintUnreadableFile("header", file);
        return 1;
    }
    PrintMemoDump(list.get(), HasVRs(list.get()));
    return 0;
}

}  // namespace cli
