// pella header FILE...: the elements in front of the pixel data, with dictionary names.
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "cli/file_command.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    return FileCommandSpec(
        "header", "pella header [options] FILE...",
        "Reads the elements of DICOM Part 10 files up to the pixel data (file meta information\n"
        "included) without loading the pixel data, and prints one line per element in the format\n"
        "of 'pella dump'. With several files, a line \"# FILE\" precedes each file's elements.");
}

// An implicit VR data set leaves the VRs outside the meta group empty: the dump then shows
// the dictionary's VRs.
bool HasVRs(const ElementList* list) {
    for (int32_t i = 0; i < ElementCount(list); ++i) {
        const DataElement* e = ElementAt(list, i);
        if (e->group != 0x0002 && e->group != 0xFFFE && e->vr[0] == '\0') return false;
    }
    return true;
}

FileOutput HeaderDump(const std::string& file) {
    OwnedList list = NewList();
    if (!list || !DICOMHeader(file.c_str(), list.get())) return ReadFailure("header", file);
    FileOutput output;
    if (!AppendMemoDump(output.out, list.get(), HasVRs(list.get()))) return ReadFailure("header", file);
    return output;
}

}  // namespace

int RunHeader(const std::vector<std::string>& argv) {
    const CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    return RunOverFiles("header", args, true, HeaderDump);
}

}  // namespace cli
