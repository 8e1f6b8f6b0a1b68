// pella store HOST PORT FILE...: sends DICOM files with C-STORE.
#include <cstdio>
#include <filesystem>
#include <limits>

#include "cli/commands.h"
#include "cli/store_options.h"
#include "cli/store_report.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec{
        "store",
        "pella store [options] HOST PORT FILE...",
        "Sends DICOM Part 10 files to a remote application entity with C-STORE, each on an\n"
        "association of its own, or all on one with --one-association (the contexts of every\n"
        "file are proposed at once; more associations only beyond 128 contexts). Every file that\n"
        "was not stored is named on standard error with the reason; the exit code is 0 only\n"
        "when every object was stored with status 0 (warnings count as failure).\n" +
            StoreSyntaxHelp(),
        StoreOptions(),
        3,
        std::numeric_limits<std::size_t>::max(),
    };
    spec.options.push_back({{"--one-association", "-1"}, "", "send all files on one association"});
    return spec;
}

// Each file on an association of its own (StoreFileList with one file, so that the report also
// hears how a stored file went).
bool StoreEach(const std::string& host, const std::string& port, const std::vector<std::string>& files,
               const StoreSettings& settings, StoreReport& report) {
    bool all = true;
    for (const std::string& file : files) {
        std::array<char, 17> calling = CallingTitleBuffer(settings.network);
        const char* name = file.c_str();
        all = StoreFileList(host.c_str(), port.c_str(), calling.data(),
                            settings.network.calledAETitle.c_str(), &name, 1, settings.wantedSyntax.c_str(),
                            settings.convert ? 1 : 0, &StoreReport::Callback, &report) != 0 &&
              all;
    }
    return all;
}

bool StoreOnOne(const std::string& host, const std::string& port, const std::vector<std::string>& files,
                const StoreSettings& settings, StoreReport& report) {
    std::vector<const char*> names;
    for (const std::string& file : files) names.push_back(file.c_str());
    std::array<char, 17> calling = CallingTitleBuffer(settings.network);
    return StoreFileList(host.c_str(), port.c_str(), calling.data(), settings.network.calledAETitle.c_str(),
                         names.data(), static_cast<int32_t>(names.size()), settings.wantedSyntax.c_str(),
                         settings.convert ? 1 : 0, &StoreReport::Callback, &report) != 0;
}

}  // namespace

int RunStore(const std::vector<std::string>& argv) {
    CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    StoreSettings settings;
    if (!ApplyStoreOptions("store", args, settings)) return 2;
    const std::string& host = args.Positionals()[0];
    const std::string& port = args.Positionals()[1];
    std::vector<std::string> files(args.Positionals().begin() + 2, args.Positionals().end());
    if (files.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        std::fprintf(stderr, "pella store: too many files\n");
        return 2;
    }
    StoreReport report("store", files.size(), settings.progress);
    bool ok = args.Has("--one-association") ? StoreOnOne(host, port, files, settings, report)
                                            : StoreEach(host, port, files, settings, report);
    return report.Finish(ok);
}

}  // namespace cli
