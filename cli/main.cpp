// pella: the command-line front end of libpella.
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"

namespace cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"elements", "list the meta and data-set elements of DICOM files", RunElements},
        {"dump", "print the elements of DICOM files with dictionary names, or as JSON", RunDump},
        {"header", "print the elements in front of the pixel data of DICOM files", RunHeader},
        {"echo", "verify a remote DICOM node (C-ECHO)", RunEcho},
        {"serve", "run the storage server (C-STORE, C-ECHO) in the foreground", RunServe},
        {"index", "copy a storage folder's archive index into PostgreSQL (migrate)", RunIndex},
        {"add-meta", "turn a bare data set file into a Part 10 file", RunAddMeta},
        {"convert", "write a DICOM file in another transfer syntax", RunConvert},
        {"modify", "set, insert and erase elements of DICOM files in place", RunModify},
        {"anonymize", "write anonymized copies of DICOM files (confidentiality profile)", RunAnonymize},
        {"store", "send DICOM files to a remote node (C-STORE)", RunStore},
        {"send-series", "send every file of a series folder on one association", RunSendSeries},
        {"find", "query a remote archive (C-FIND) at study, series or image level", RunFind},
        {"worklist", "ask a worklist provider for scheduled procedure steps", RunWorklist},
        {"move", "ask a remote archive to send objects to a node (C-MOVE)", RunMove},
        {"get", "fetch objects from a remote archive on one association (C-GET)", RunGet},
        {"dicomdir", "print the records of a DICOMDIR as a patient/study/series/instance tree", RunDicomdir},
        {"print", "print an image on a DICOM grayscale printer (Basic Grayscale Print)", RunPrint},
        {"render", "write the page a print of a file sends as PNG or BMP", RunRender},
        {"ecg", "draw a waveform object as an ECG page (PNG or BMP)", RunEcg},
        {"thumbnail", "write JPEG thumbnails of DICOM images", RunThumbnail},
        {"user", "add a user to a storage server's credentials file", RunUser},
        {"check-uid", "tell whether texts are valid UIDs", RunCheckUid},
        {"version", "print the version of the library", RunVersion},
    };
    return commands;
}

}  // namespace cli

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs("usage: pella COMMAND [options] [arguments]\n\ncommands:\n", out);
    for (const auto& command : cli::AllCommands())
        std::fprintf(out, "  %-14s %s\n", command.name, command.summary);
    std::fputs("\n'pella COMMAND --help' describes a command; 'pella --version' gives the version.\n", out);
}

}  // namespace

int main(int argc, char** argv) {
    // A reading command allocates and frees a file-sized buffer per file: keep freed memory in
    // the process instead of returning it to the system and faulting it in again for the next.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (name == "--version") {
        cli::PrintVersion();
        return 0;
    }
    for (const auto& command : cli::AllCommands()) {
        if (name == command.name) return command.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "pella: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return 2;
}
