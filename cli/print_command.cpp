// pella print HOST PORT FILE: prints one image on a DICOM grayscale printer.
#include <cstdio>
#include <optional>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec{
        "print",
        "pella print [options] HOST PORT FILE",
        "Prints FILE (DICOM; \".jpg\"/\".JPG\" JPEG; \".bmp\"/\".BMP\" BMP) on a DICOM printer with\n"
        "Basic Grayscale Print Management: printer status, film session, film box, image box,\n"
        "print, deletion of the film box. The image sent is what `pella render` writes. Each\n"
        "step's outcome goes to stderr (to the --log file instead when one is given). Attributes\n"
        "not given are not sent and the printer uses its defaults, except Image Display Format, which\n"
        "a film box must have: STANDARD\\1,1 (one image) when --format is not given. Exit code 0 only when "
        "the film\n"
        "was printed and the film box deleted.",
        NetworkOptions(),
        3,
        3,
    };
    std::vector<OptionSpec> print = {
        {{"--copies"}, "N", "Number of Copies"},
        {{"--priority"}, "P", "Print Priority: HIGH, MED or LOW"},
        {{"--medium"}, "M", "Medium Type: PAPER, CLEAR FILM, BLUE FILM, ..."},
        {{"--destination"}, "D", "Film Destination: MAGAZINE, PROCESSOR, BIN_i"},
        {{"--format"}, "F", "Image Display Format (default STANDARD\\1,1), e.g. STANDARD\\2,2"},
        {{"--orientation"}, "O", "Film Orientation: PORTRAIT or LANDSCAPE"},
        {{"--film-size"}, "S", "Film Size ID: 14INX17IN, 14INX14IN, 10INX12IN, 8INX10IN, ..."},
        {{"--magnification"}, "M", "Magnification Type: REPLICATE, BILINEAR, CUBIC, NONE"},
        {{"--border-density"}, "D", "Border Density: BLACK, WHITE or a number"},
        {{"--empty-density"}, "D", "Empty Image Density: BLACK, WHITE or a number"},
        {{"--min-density"}, "N", "Min Density, a number 0-65535"},
        {{"--max-density"}, "N", "Max Density, a number 0-65535"},
    };
    spec.options.insert(spec.options.end(), print.begin(), print.end());
    return spec;
}

// The option's value, kept alive in `store`, as the text pointer a parameter record takes.
const char* Field(const Args& args, const char* name, std::optional<std::string>& store) {
    store = args.Value(name);
    return store ? store->c_str() : nullptr;
}

}  // namespace

int RunPrint(const std::vector<std::string>& argv) {
    CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    NetworkSettings settings;
    if (!ApplyNetworkOptions("print", args, settings)) return 2;
    if (!args.Has("--log")) {
        long level = 1;
        if (auto text = args.Value("--log-level")) ParseNumber(*text, 0, 3, level);
        SetLOG("-", static_cast<int32_t>(level));
    }
    std::optional<std::string> v[12];
    FilmSessionParameters session{Field(args, "--copies", v[0]), Field(args, "--priority", v[1]),
                                  Field(args, "--medium", v[2]), Field(args, "--destination", v[3])};
    FilmBoxParameters box{Field(args, "--format", v[4]),         Field(args, "--orientation", v[5]),
                          Field(args, "--film-size", v[6]),      Field(args, "--magnification", v[7]),
                          Field(args, "--border-density", v[8]), Field(args, "--empty-density", v[9]),
                          Field(args, "--min-density", v[10]),   Field(args, "--max-density", v[11])};
    const std::string& host = args.Positionals()[0];
    const std::string& port = args.Positionals()[1];
    const std::string& file = args.Positionals()[2];
    std::array<char, 17> calling = CallingTitleBuffer(settings);
    if (!PrintSCU(file.c_str(), host.c_str(), port.c_str(), calling.data(), settings.calledAETitle.c_str(),
                  &session, &box)) {
        std::fprintf(stderr, "pella print: %s on %s:%s: %s\n", file.c_str(), host.c_str(), port.c_str(),
                     FailureReason("not printed").c_str());
        return 1;
    }
    std::printf("Printed %s on %s:%s\n", file.c_str(), host.c_str(), port.c_str());
    return 0;
}

}  // namespace cli
