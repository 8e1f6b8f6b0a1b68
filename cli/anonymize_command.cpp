// pella anonymize IN... --out-dir DIR: writes anonymized copies of DICOM files into one folder,
// each named by its new SOP Instance UID.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/file_command.h"
#include "cli/network_options.h"
#include "pella.h"

namespace fs = std::filesystem;

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec = FileCommandSpec(
        "anonymize", "pella anonymize [options] --out-dir DIR FILE|FOLDER...",
        "Writes an anonymized copy of every DICOM file given, and of every file of every folder\n"
        "given, into DIR as <new SOP Instance UID>.dcm, following the Basic Application Level\n"
        "Confidentiality Profile: identifying attributes at every depth are removed, emptied or\n"
        "given dummy values, private attributes removed, UIDs replaced by 2.25.<number> made by\n"
        "HMAC-SHA256 of the old UID under the key, so that the same key maps a study split over\n"
        "several runs onto the same new UIDs and no table of old and new UIDs is kept. Patient\n"
        "Identity Removed, the De-identification Method and its Code Sequence are added; pixel\n"
        "data and the transfer syntax are kept. The key comes from --key or, better (the command\n"
        "line is visible to other users), from the environment variable PELLA_ANON_KEY; without\n"
        "one the command refuses to run.\n"
        "A file whose pixels may show burned-in text (Burned In Annotation YES, or none in an\n"
        "ultrasound, secondary capture, video or encapsulated document object) is refused and\n"
        "named on standard error unless --allow-burned-in is given. Each file written is printed\n"
        "as 'FILE -> OUTPUT'. Exit code: 0 when every file was written, 1 when any was refused or\n"
        "failed, 2 for a usage error.");
    spec.options.insert(
        spec.options.end(),
        {
            {{"--out-dir", "-od"}, "DIR", "folder for the anonymized files (made when missing)"},
            {{"--key"}, "KEY", "secret of the UID mapping (default: $PELLA_ANON_KEY)"},
            {{"--retain-uids"}, "", "keep the UIDs"},
            {{"--retain-device-identity"}, "", "keep device serial numbers, station names, ..."},
            {{"--retain-institution-identity"}, "", "keep institution name, address, department"},
            {{"--retain-patient-characteristics"}, "", "keep sex, age, size, weight, ..."},
            {{"--retain-dates"}, "", "keep dates and times"},
            {{"--shift-dates"}, "DAYS", "move dates and date-times by DAYS (negative: earlier)"},
            {{"--clean-descriptors"}, "", "keep descriptions, identifying words masked"},
            {{"--keep-private"}, "", "keep private attributes"},
            {{"--allow-burned-in"}, "", "also take images that may show burned-in text"},
        });
    return spec;
}

std::optional<std::string> KeyOf(const Args& args) {
    if (auto key = args.Value("--key"); key && !key->empty()) return key;
    if (const char* env = std::getenv("PELLA_ANON_KEY"); env != nullptr && env[0] != '\0')
        return std::string(env);
    return std::nullopt;
}

// The options from the command line; false (the reason printed) for a usage error.
bool ReadOptions(const Args& args, const std::string& key, AnonymizeFileOptions& options) {
    options = AnonymizeFileOptions{};
    options.size = sizeof options;
    options.key = key.c_str();
    options.retainUids = args.Has("--retain-uids");
    options.retainDeviceIdentity = args.Has("--retain-device-identity");
    options.retainInstitutionIdentity = args.Has("--retain-institution-identity");
    options.retainPatientCharacteristics = args.Has("--retain-patient-characteristics");
    options.retainFullDates = args.Has("--retain-dates");
    options.cleanDescriptors = args.Has("--clean-descriptors");
    options.keepPrivate = args.Has("--keep-private");
    options.allowBurnedIn = args.Has("--allow-burned-in");
    if (auto days = args.Value("--shift-dates")) {
        long n = 0;
        if (!ParseNumber(*days, -3650000, 3650000, n)) {
            std::fprintf(stderr, "pella anonymize: --shift-dates wants a whole number of days\n");
            return false;
        }
        if (options.retainFullDates) {
            std::fprintf(stderr, "pella anonymize: give --retain-dates or --shift-dates, not both\n");
            return false;
        }
        options.shiftDates = 1;
        options.dateShiftDays = static_cast<int32_t>(n);
    }
    return true;
}

FileOutput AnonymizeOne(const std::string& file, const std::string& outDir,
                        const AnonymizeFileOptions& options) {
    char written[4096];
    int32_t result = AnonymizeFile(file.c_str(), outDir.c_str(), &options, written, sizeof written);
    if (result == 1) return {true, file + " -> " + written + "\n", ""};
    if (result == 2)
        return {false, "",
                "pella anonymize: refused '" + file +
                    "': its pixels may show burned-in text (give --allow-burned-in to take it)\n"};
    return {false, "", "pella anonymize: '" + file + "': " + FailureReason("not anonymized") + "\n"};
}

}  // namespace

int RunAnonymize(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(Spec(), argv, args); exit >= 0) return exit;
    std::optional<std::string> outDir = args.Value("--out-dir");
    if (!outDir || outDir->empty()) {
        std::fprintf(stderr, "pella anonymize: give the output folder with --out-dir DIR\n");
        return 2;
    }
    std::optional<std::string> key = KeyOf(args);
    if (!key) {
        std::fprintf(stderr, "pella anonymize: no key: give --key KEY or set PELLA_ANON_KEY\n");
        return 2;
    }
    AnonymizeFileOptions options;
    if (!ReadOptions(args, *key, options)) return 2;
    std::error_code ec;
    fs::create_directories(*outDir, ec);
    if (!fs::is_directory(*outDir, ec)) {
        std::fprintf(stderr, "pella anonymize: cannot create the folder '%s'\n", outDir->c_str());
        return 1;
    }
    return RunOverFiles("anonymize", args, false,
                        [&](const std::string& file) { return AnonymizeOne(file, *outDir, options); });
}

}  // namespace cli
