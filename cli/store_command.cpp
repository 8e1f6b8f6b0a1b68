// pella store HOST PORT FILE|FOLDER...: sends DICOM files with C-STORE.
#include <cstdio>
#include <limits>
#include <mutex>
#include <thread>

#include "cli/commands.h"
#include "cli/input_files.h"
#include "cli/store_options.h"
#include "cli/store_report.h"
#include "pella.h"

namespace cli {

namespace {

constexpr long kMaxParallel = 32;

CommandSpec Spec() {
    CommandSpec spec{
        "store",
        "pella store [options] HOST PORT FILE|FOLDER...",
        "Sends DICOM Part 10 files to a remote application entity with C-STORE: the files named\n"
        "and those in the folders named (with -r also in their subfolders); files that are not\n"
        "DICOM Part 10 files are skipped and counted. All files go on one association, with a\n"
        "presentation context for each SOP class and syntax needed (more associations only\n"
        "beyond 128 contexts); --parallel N sends on N associations at once, --one-per-file on\n"
        "one association per file. A file whose syntax the peer does not take is converted into\n"
        "one it does (lossless first; a lossy syntax only when asked with --syntax). When the\n"
        "association is lost it is re-opened once; when that fails too the run stops and one\n"
        "line says how many files were not sent. Every file that was not stored is named on\n"
        "standard error with the reason, a summary ends the run; the exit code is 0 only when\n"
        "every object was stored with status 0 (warnings count as failure).\n" +
            StoreSyntaxHelp(),
        StoreOptions(),
        3,
        std::numeric_limits<std::size_t>::max(),
    };
    spec.options.push_back(
        {{"-r", "--recurse"}, "", "also the files in subfolders of every FOLDER (also +r)"});
    spec.options.push_back(
        {{"--parallel"}, "N", "send on N associations at once, each with its share of the files (1-32)"});
    spec.options.push_back({{"--one-per-file"}, "", "one association for each file"});
    spec.options.push_back({{"--one-association", "-1"},
                            "",
                            "all files on one association (the default; kept for old scripts)"});
    return spec;
}

// DCMTK's storescu spellings: +sd (scan folders: always done here) and +r (recurse).
std::vector<std::string> WithDcmtkSpellings(const std::vector<std::string>& argv) {
    std::vector<std::string> out;
    for (const std::string& arg : argv) {
        if (arg == "+sd") continue;
        out.push_back(arg == "+r" ? "-r" : arg);
    }
    return out;
}

bool StoreGroup(const std::string& host, const std::string& port, const std::vector<std::string>& files,
                const StoreSettings& settings, StoreReport& report) {
    std::vector<const char*> names;
    for (const std::string& file : files) names.push_back(file.c_str());
    std::array<char, 17> calling = CallingTitleBuffer(settings.network);
    return StoreFileList(host.c_str(), port.c_str(), calling.data(), settings.network.calledAETitle.c_str(),
                         names.data(), static_cast<int32_t>(names.size()), settings.wantedSyntax.c_str(),
                         settings.convert ? 1 : 0, &StoreReport::Callback, &report) != 0;
}

// Each file on an association of its own (StoreFileList with one file, so that the report also
// hears how a stored file went).
bool StoreEach(const std::string& host, const std::string& port, const std::vector<std::string>& files,
               const StoreSettings& settings, StoreReport& report) {
    bool all = true;
    for (const std::string& file : files) all = StoreGroup(host, port, {file}, settings, report) && all;
    return all;
}

// `parallel` associations at once, each sending a contiguous share of the files (so that a
// series mostly stays on one association).
bool StoreParallel(const std::string& host, const std::string& port, const std::vector<std::string>& files,
                   std::size_t parallel, const StoreSettings& settings, StoreReport& report) {
    std::size_t groups = std::min(parallel, files.size());
    std::vector<std::thread> senders;
    std::mutex mutex;
    bool all = true;
    for (std::size_t g = 0; g < groups; ++g) {
        std::size_t begin = files.size() * g / groups, end = files.size() * (g + 1) / groups;
        senders.emplace_back([&, begin, end] {
            std::vector<std::string> share(files.begin() + static_cast<long>(begin),
                                           files.begin() + static_cast<long>(end));
            bool stored = StoreGroup(host, port, share, settings, report);
            std::lock_guard<std::mutex> lock(mutex);
            all = all && stored;
        });
    }
    for (std::thread& sender : senders) sender.join();
    return all;
}

// The DICOM files among the inputs; the others are counted as skipped.
std::vector<std::string> DicomFiles(const std::vector<std::string>& files, StoreReport& report) {
    std::vector<std::string> dicom;
    for (const std::string& file : files) {
        if (CheckDICOMFile(file.c_str()) == PELLA_FILE_PART10)
            dicom.push_back(file);
        else
            report.Skip(file, ReadFailureReason(file));
    }
    return dicom;
}

}  // namespace

int RunStore(const std::vector<std::string>& argv) {
    CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, WithDcmtkSpellings(argv), args); exit >= 0) return exit;
    StoreSettings settings;
    if (!ApplyStoreOptions("store", args, settings)) return 2;
    long parallel = 1;
    if (auto text = args.Value("--parallel"); text && !ParseNumber(*text, 1, kMaxParallel, parallel)) {
        std::fprintf(stderr, "pella store: --parallel wants a number from 1 to %ld\n", kMaxParallel);
        return 2;
    }
    const std::string& host = args.Positionals()[0];
    const std::string& port = args.Positionals()[1];
    InputFiles inputs =
        ExpandInputs({args.Positionals().begin() + 2, args.Positionals().end()}, args.Has("-r"));
    for (const std::string& error : inputs.errors) std::fprintf(stderr, "pella store: %s\n", error.c_str());
    if (inputs.files.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        std::fprintf(stderr, "pella store: too many files\n");
        return 2;
    }
    StoreReport report("store", inputs.files.size(), settings.progress);
    std::vector<std::string> files = DicomFiles(inputs.files, report);
    bool ok = !files.empty() && inputs.errors.empty();
    if (!files.empty()) {
        if (args.Has("--one-per-file"))
            ok = StoreEach(host, port, files, settings, report) && ok;
        else if (parallel > 1)
            ok = StoreParallel(host, port, files, static_cast<std::size_t>(parallel), settings, report) && ok;
        else
            ok = StoreGroup(host, port, files, settings, report) && ok;
    }
    return report.Finish(ok, files.empty() ? "no DICOM file to send" : "no object was sent");
}

}  // namespace cli
