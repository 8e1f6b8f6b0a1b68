// pella thumbnail: a PNG or JPEG thumbnail of one DICOM image, or JPEG thumbnails of every image
// of files and folders.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/display_options.h"
#include "cli/network_options.h"
#include "pella.h"

namespace fs = std::filesystem;

namespace cli {

namespace {

CommandSpec Spec() {
    std::vector<OptionSpec> options = {
        {{"--width", "-w"}, "W", "thumbnail width in pixels (with --out-dir)"},
        {{"--out-dir", "-od"}, "DIR", "folder for the thumbnails (created when missing)"},
        {{"--recurse", "-r"}, "", "also the files of subfolders of every FOLDER given"}};
    for (OptionSpec& option : DisplayOptionSpecs()) options.push_back(option);
    return {
        "thumbnail",
        "pella thumbnail [options] FILE OUT WIDTH\n"
        "       pella thumbnail --width W --out-dir DIR [-r] FILE|FOLDER...",
        "Writes a thumbnail of a DICOM image, WIDTH pixels wide, the height in proportion: PNG\n"
        "when OUT ends in .png (any case), JPEG (quality 60) otherwise, under exactly the name OUT.\n"
        "Gray images are scaled bilinearly and shown through their Modality LUT or rescale, their\n"
        "first window (else their first VOI LUT, else a window from their smallest to their\n"
        "largest value), inverted for MONOCHROME1 or a Presentation LUT Shape of INVERSE; colour\n"
        "images (RGB, YBR_FULL, YBR_FULL_422) by nearest neighbour. The picture has a one-pixel\n"
        "black frame. The first frame is shown unless --frame says otherwise; JPEG lossless and\n"
        "baseline files are decompressed first.\n"
        "With --out-dir, every file given and every file of every FOLDER given (its subfolders\n"
        "too with -r) gets a JPEG thumbnail in DIR, at the same relative place, named after the\n"
        "file: its .dcm replaced by .jpg, or else .jpg appended. Files that are not DICOM Part 10\n"
        "files inside folders are passed over; DICOM files that cannot be drawn are skipped with\n"
        "one line each. A progress line goes to standard error, the summary to standard output.\n"
        "Exit code 0 when at least one thumbnail was written and none failed to be saved.",
        options,
        1,
        1u << 30,
    };
}

struct Job {
    std::string input;
    std::string output;
};

bool HasDicomPrefix(const fs::path& file) {
    return CheckDICOMFile(file.c_str()) == PELLA_FILE_PART10;
}

// The thumbnail's name for a file at `relative` inside the output folder.
std::string OutputName(const fs::path& outDir, fs::path relative) {
    std::string extension = relative.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (extension == ".dcm") relative.replace_extension();
    return (outDir / relative).string() + ".jpg";
}

bool CollectFolder(const fs::path& folder, const fs::path& outDir, bool recurse, std::vector<Job>& jobs) {
    std::vector<fs::path> files;
    std::error_code ec;
    auto options = fs::directory_options::skip_permission_denied;
    if (recurse) {
        for (auto it = fs::recursive_directory_iterator(folder, options, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file()) files.push_back(it->path());
    } else {
        for (auto it = fs::directory_iterator(folder, options, ec); !ec && it != fs::directory_iterator();
             it.increment(ec))
            if (it->is_regular_file()) files.push_back(it->path());
    }
    if (ec) {
        std::fprintf(stderr, "pella thumbnail: cannot list '%s': %s\n", folder.string().c_str(),
                     ec.message().c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files)
        if (HasDicomPrefix(file))
            jobs.push_back({file.string(), OutputName(outDir, file.lexically_relative(folder))});
    return true;
}

int RunOne(const Args& args, const ImageDisplayOptions& options) {
    const auto& positionals = args.Positionals();
    if (positionals.size() != 3) {
        std::fprintf(stderr, "pella thumbnail: give FILE OUT WIDTH, or --width and --out-dir (see --help)\n");
        return 2;
    }
    long width = 0;
    if (!ParseNumber(positionals[2], 1, 65535, width)) {
        std::fprintf(stderr, "pella thumbnail: WIDTH must be a number from 1 to 65535\n");
        return 2;
    }
    if (!WriteThumbnail(positionals[1].c_str(), positionals[0].c_str(), static_cast<int32_t>(width),
                        &options)) {
        std::fprintf(stderr, "pella thumbnail: %s\n", FailureReason("cannot make the thumbnail").c_str());
        return 1;
    }
    return 0;
}

class Progress {
public:
    explicit Progress(std::size_t total) : total_(total), terminal_(isatty(2) != 0) {}
    void Show(std::size_t done, std::size_t written, bool final) {
        auto now = std::chrono::steady_clock::now();
        if (!final && now - last_ < std::chrono::milliseconds(terminal_ ? 200 : 5000)) return;
        last_ = now;
        std::fprintf(stderr, "%s%zu of %zu files, %zu thumbnails, %zu skipped%s", terminal_ ? "\r" : "", done,
                     total_, written, done - written, terminal_ && !final ? "   " : "\n");
        std::fflush(stderr);
    }

private:
    std::size_t total_;
    bool terminal_;
    std::chrono::steady_clock::time_point last_{};
};

int RunMany(const Args& args, const ImageDisplayOptions& options) {
    long width = 0;
    if (!args.Value("--width") || !ParseNumber(*args.Value("--width"), 1, 65535, width)) {
        std::fprintf(stderr, "pella thumbnail: --out-dir needs --width W, a number from 1 to 65535\n");
        return 2;
    }
    fs::path outDir = *args.Value("--out-dir");
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec || !fs::is_directory(outDir)) {
        std::fprintf(stderr, "pella thumbnail: cannot create the folder '%s'\n", outDir.string().c_str());
        return 1;
    }
    std::vector<Job> jobs;
    for (const std::string& input : args.Positionals()) {
        if (fs::is_directory(input)) {
            if (!CollectFolder(input, outDir, args.Has("--recurse"), jobs)) return 1;
        } else {
            jobs.push_back({input, OutputName(outDir, fs::path(input).filename())});
        }
    }
    auto start = std::chrono::steady_clock::now();
    Progress progress(jobs.size());
    std::size_t written = 0;
    bool saveFailed = false;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        fs::create_directories(fs::path(jobs[i].output).parent_path(), ec);
        if (WriteThumbnail(jobs[i].output.c_str(), jobs[i].input.c_str(), static_cast<int32_t>(width),
                           &options)) {
            ++written;
        } else {
            std::string reason = FailureReason(jobs[i].input + ": cannot be drawn");
            const std::string prefix = "CreateThumbnail: ";
            if (reason.rfind(prefix, 0) == 0) reason.erase(0, prefix.size());
            saveFailed |= reason.find(": cannot write ") != std::string::npos;
            std::fprintf(stderr, "skipped %s\n", reason.c_str());
        }
        progress.Show(i + 1, written, i + 1 == jobs.size());
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Wrote %zu thumbnail%s of %zu file%s to %s (%zu skipped) in %.2f s\n", written,
                written == 1 ? "" : "s", jobs.size(), jobs.size() == 1 ? "" : "s", outDir.string().c_str(),
                jobs.size() - written, seconds);
    return written > 0 && !saveFailed ? 0 : 1;
}

}  // namespace

int RunThumbnail(const std::vector<std::string>& argv) {
    Args args;
    ImageDisplayOptions options;
    bool given = false;
    if (int exit = ParseDisplayCommand(Spec(), argv, args, options, given); exit >= 0) return exit;
    return args.Has("--out-dir") ? RunMany(args, options) : RunOne(args, options);
}

}  // namespace cli
