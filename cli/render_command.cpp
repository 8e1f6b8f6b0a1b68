// pella render FILE OUT.png|OUT.bmp: the page a print of FILE sends.
#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/bitmap_output.h"
#include "cli/commands.h"
#include "cli/display_options.h"
#include "cli/network_options.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    return {
        "render",
        "pella render [options] FILE OUT.png|OUT.bmp",
        "Writes the bitmap that printing FILE sends to the printer, so that it can be seen before\n"
        "printing. FILE is chosen by its extension as printing does: \".jpg\"/\".JPG\" a JPEG file,\n"
        "\".bmp\"/\".BMP\" a BMP file, anything else a DICOM file (native, JPEG lossless or JPEG\n"
        "baseline). A gray DICOM image goes through its Modality LUT or rescale, then its first\n"
        "window (else its first VOI LUT, else a window from its smallest to its largest value),\n"
        "and is inverted for MONOCHROME1 or a Presentation LUT Shape of INVERSE; the options below\n"
        "choose another window or frame. Colour becomes gray by its luminance, as the grayscale\n"
        "print sends it. OUT ends in .png or .bmp.",
        DisplayOptionSpecs(),
        2,
        2,
    };
}

}  // namespace

int RunRender(const std::vector<std::string>& argv) {
    Args args;
    ImageDisplayOptions options;
    bool given = false;
    CommandSpec spec = Spec();
    if (int exit = ParseDisplayCommand(spec, argv, args, options, given); exit >= 0) return exit;
    const std::string& file = args.Positionals()[0];
    const std::string& out = args.Positionals()[1];
    if (!IsBitmapOutputName(out)) {
        std::fprintf(stderr, "pella render: '%s' does not end in .png or .bmp\n", out.c_str());
        return 2;
    }
    OwnedBitmap bitmap(CreateBitmap(0, 0, 8));
    bool drawn = bitmap && (given ? RenderImage(file.c_str(), bitmap.get(), &options)
                                  : RenderPrintImage(file.c_str(), bitmap.get()));
    if (!drawn) {
        std::fprintf(stderr, "pella render: %s\n", FailureReason("cannot draw " + file).c_str());
        return 1;
    }
    return SaveBitmapFile("render", bitmap.get(), out) ? 0 : 1;
}

}  // namespace cli
