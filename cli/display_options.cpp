#include "cli/display_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {

bool ParseDecimal(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(out);
}

}  // namespace

std::vector<OptionSpec> DisplayOptionSpecs() {
    return {{{"--window", "-W"}, "C W", "window centre C and width W (at least 1) instead of the file's"},
            {{"--min-max", "-M"}, "", "window from the frame's smallest to its largest value"},
            {{"--frame", "-F"}, "N", "the frame shown, from 1 (default 1)"}};
}

bool TakeWindowOption(std::vector<std::string>& argv, ImageDisplayOptions& options, std::string& error) {
    for (std::size_t i = 0; i < argv.size(); ++i) {
        if (argv[i] != "--window" && argv[i] != "-W") continue;
        if (i + 2 >= argv.size() || !ParseDecimal(argv[i + 1], options.windowCentre) ||
            !ParseDecimal(argv[i + 2], options.windowWidth)) {
            error = "--window takes two numbers, the centre and the width";
            return false;
        }
        if (options.windowWidth < 1) {
            error = "--window: the width must be at least 1";
            return false;
        }
        options.voi = PELLA_VOI_WINDOW;
        argv.erase(argv.begin() + static_cast<std::ptrdiff_t>(i),
                   argv.begin() + static_cast<std::ptrdiff_t>(i) + 3);
        --i;
    }
    return true;
}

bool ReadDisplayOptions(const Args& args, ImageDisplayOptions& options, bool& given, std::string& error) {
    given = options.voi == PELLA_VOI_WINDOW;
    if (args.Has("--min-max")) {
        if (options.voi == PELLA_VOI_WINDOW) {
            error = "give --window or --min-max, not both";
            return false;
        }
        options.voi = PELLA_VOI_MIN_MAX;
        given = true;
    }
    if (auto frame = args.Value("--frame")) {
        long number = 0;
        if (!ParseNumber(*frame, 1, 2147483647, number)) {
            error = "--frame takes a frame number from 1";
            return false;
        }
        options.frame = static_cast<int32_t>(number);
        given = true;
    }
    return true;
}

int ParseDisplayCommand(const CommandSpec& spec, std::vector<std::string> argv, Args& args,
                        ImageDisplayOptions& options, bool& given) {
    options = ImageDisplayOptions{};
    std::string error;
    bool taken = TakeWindowOption(argv, options, error);
    if (taken) {
        if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
        if (ReadDisplayOptions(args, options, given, error)) return -1;
    }
    std::fprintf(stderr, "pella %s: %s\nusage: %s\n", spec.name.c_str(), error.c_str(), spec.usage.c_str());
    return 2;
}

}  // namespace cli
