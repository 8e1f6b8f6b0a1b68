// pella ecg FILE OUT.png|OUT.bmp: a waveform object drawn as an ECG-paper page.
#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/bitmap_output.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "cli/network_options.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    return {
        "ecg",
        "pella ecg [options] FILE OUT.png|OUT.bmp",
        "Draws the waveform object FILE (modality ECG, HD or AU) as an ECG-paper page: a grid of\n"
        "200 ms and 0.5 mV per minor division, the patient and study texts, and the channels of the\n"
        "first multiplex group in two columns (0-5 left, 6 and up right), each with a 1 mV\n"
        "calibration pulse. Channels whose units are not uV, mV or mm Hg are labelled without a\n"
        "trace. OUT ends in .png or .bmp.",
        {{{"--width"}, "W", "page width in pixels (default 1000)"},
         {{"--height"}, "H", "page height in pixels (default 800)"}},
        2,
        2,
    };
}

}  // namespace

int RunEcg(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(Spec(), argv, args); exit >= 0) return exit;
    const std::string& file = args.Positionals()[0];
    const std::string& out = args.Positionals()[1];
    long width = 0, height = 0;
    if (!ParseNumber(args.ValueOr("--width", "1000"), 1, 16384, width) ||
        !ParseNumber(args.ValueOr("--height", "800"), 1, 16384, height)) {
        std::fprintf(stderr, "pella ecg: --width and --height take a number from 1 to 16384\n");
        return 2;
    }
    if (!IsBitmapOutputName(out)) {
        std::fprintf(stderr, "pella ecg: '%s' does not end in .png or .bmp\n", out.c_str());
        return 2;
    }
    OwnedList meta = NewList();
    OwnedList data = NewList();
    uint8_t explicitVR = 0;
    if (!meta || !data || !DICOMFile(file.c_str(), meta.get(), data.get(), &explicitVR)) {
        std::fprintf(stderr, "pella ecg: cannot read '%s' as a DICOM Part 10 file\n", file.c_str());
        return 1;
    }
    OwnedBitmap page(CreateBitmap(static_cast<int32_t>(width), static_cast<int32_t>(height), 32));
    if (!page || !ECG2Bitmap(page.get(), data.get())) {
        std::string reason = FailureReason("not a waveform object with a complete multiplex group");
        std::fprintf(stderr, "pella ecg: cannot draw '%s': %s\n", file.c_str(), reason.c_str());
        return 1;
    }
    return SaveBitmapFile("ecg", page.get(), out) ? 0 : 1;
}

}  // namespace cli
