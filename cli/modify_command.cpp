// pella modify: changes, inserts and erases elements of DICOM files in place, as dcmodify does;
// each file is replaced only once its new version is whole, in its own transfer syntax.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "cli/file_command.h"
#include "cli/network_options.h"
#include "pella.h"

namespace fs = std::filesystem;

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec = FileCommandSpec(
        "modify", "pella modify [options] FILE|FOLDER...",
        "Changes the data set of DICOM Part 10 files in place, one step after another in the\n"
        "order given. TAG is a keyword (PatientName), gggg,eeee or (gggg,eeee); PATH is a TAG, or\n"
        "a sequence, an item index and a further path: (0040,0275)[0].(0040,0009), with [*] for\n"
        "every item. VALUE is text, checked against the element's VR (numbers, dates YYYYMMDD,\n"
        "times, person names, UIDs, lengths); several values are separated by \\.\n"
        "The file keeps its transfer syntax and pixel data; the SOP Instance UID of the meta group\n"
        "follows the data set's. Each file is written beside itself and renamed over the old one\n"
        "once whole; the old file is kept as FILE.bak unless --no-backup is given. A file where\n"
        "any step fails is left untouched, with the reason on standard error; exit code 0 only\n"
        "when every file was changed.");
    std::vector<OptionSpec> own = {
        {{"-m", "--modify"}, "PATH=VALUE", "set an existing element (it must be there)"},
        {{"-i", "--insert"},
         "PATH=VALUE",
         "set an element, inserting it (and a missing sequence or the next item) when missing"},
        {{"-e", "--erase"}, "PATH", "erase an element (it must be there)"},
        {{"-ea", "--erase-all"}, "TAG", "erase every element with the tag, inside items too"},
        {{"-gin", "--gen-inst-uid"}, "", "give the data set a new SOP Instance UID"},
        {{"-gse", "--gen-ser-uid"}, "", "give the data set a new Series Instance UID"},
        {{"-gst", "--gen-stud-uid"}, "", "give the data set a new Study Instance UID"},
        {{"-nb", "--no-backup"}, "", "keep no FILE.bak"},
    };
    spec.options.insert(spec.options.begin(), own.begin(), own.end());
    return spec;
}

// One step on the data set.
struct Step {
    std::string option;  // the option's first name
    std::string path;
    std::string value;
};

constexpr const char* kGenerated[][2] = {
    {"-gin", "(0008,0018)"},
    {"-gse", "(0020,000E)"},
    {"-gst", "(0020,000D)"},
};

bool IsEdit(const std::string& option) {
    return option == "-m" || option == "-i" || option == "-e" || option == "-ea";
}

// The steps in command-line order; false (the reason printed) for a -m or -i without "=".
bool CollectSteps(const Args& args, std::vector<Step>& steps) {
    for (const auto& [option, text] : args.InOrder()) {
        for (const auto& generated : kGenerated)
            if (option == generated[0]) steps.push_back({option, generated[1], ""});
        if (!IsEdit(option)) continue;
        Step step{option, text, ""};
        if (option == "-m" || option == "-i") {
            std::size_t eq = text.find('=');
            if (eq == std::string::npos) {
                std::fprintf(stderr, "pella modify: %s wants PATH=VALUE, not '%s'\n", option.c_str(),
                             text.c_str());
                return false;
            }
            step.path = text.substr(0, eq);
            step.value = text.substr(eq + 1);
        }
        steps.push_back(step);
    }
    return true;
}

// The text of a top-level element of a list without the padding of its last byte.
std::string ElementTextOf(const ElementList* list, uint16_t group, uint16_t element) {
    for (int32_t i = 0, count = ElementCount(list); i < count; ++i) {
        const DataElement* e = ElementAt(list, i);
        if (e->group != group || e->element != element || e->length <= 0) continue;
        std::string text(reinterpret_cast<const char*>(e->value), static_cast<std::size_t>(e->length));
        if (!text.empty() && (text.back() == '\0' || text.back() == ' ')) text.pop_back();
        return text;
    }
    return "";
}

// Applies one step; an empty text on success, else the reason.
std::string Apply(const Step& step, ElementList* data, const char* syntax) {
    if (step.option == "-e" || step.option == "-ea") {
        int32_t erased = EraseElement(data, syntax, step.path.c_str(), step.option == "-ea" ? 1 : 0);
        if (erased < 0) return FailureReason("cannot erase " + step.path);
        if (erased == 0 && step.option == "-e") return step.path + " is not there to erase";
        return "";
    }
    if (step.option == "-m" || step.option == "-i") {
        int32_t mode = step.option == "-i" ? PELLA_EDIT_INSERT : PELLA_EDIT_MODIFY;
        if (SetElementValue(data, syntax, step.path.c_str(), step.value.c_str(), mode)) return "";
        return FailureReason("cannot set " + step.path);
    }
    char uid[PELLA_UID_BUFFER_SIZE];
    if (!NewUID(uid, sizeof uid) || !SetElementValue(data, syntax, step.path.c_str(), uid, PELLA_EDIT_INSERT))
        return FailureReason("cannot set a new UID in " + step.path);
    return "";
}

// The old file under a second name beside it, made before the new file replaces it: a link,
// which the rename of the new file leaves holding the old contents (a copy where the file system
// has no links). Renamed to FILE.bak once the new file is in place, removed otherwise.
class PendingBackup {
public:
    explicit PendingBackup(const std::string& file)
        : file_(file), pending_(file + ".bak-" + std::to_string(getpid())) {}
    ~PendingBackup() {
        std::error_code ignored;
        if (made_) fs::remove(pending_, ignored);
    }
    PendingBackup(const PendingBackup&) = delete;
    PendingBackup& operator=(const PendingBackup&) = delete;

    // An empty text on success, else the reason.
    std::string Make() {
        std::error_code ec;
        fs::remove(pending_, ec);  // a leftover of that name, never what a link points to
        if (link(file_.c_str(), pending_.c_str()) != 0)
            fs::copy_file(file_, pending_, fs::copy_options::none, ec);
        if (ec) return "cannot keep a copy of the old file: " + ec.message();
        made_ = true;
        return "";
    }

    // Renames the copy to FILE.bak (replacing a file or link of that name, never writing
    // through it).
    std::string Keep() {
        std::error_code ec;
        fs::rename(pending_, file_ + ".bak", ec);
        if (ec)
            return "the file was changed, but its backup could not be named " + file_ +
                   ".bak: " + ec.message();
        made_ = false;
        return "";
    }

private:
    std::string file_;
    std::string pending_;
    bool made_ = false;
};

FileOutput ModifyFile(const std::string& file, const std::vector<Step>& steps, bool backup) {
    auto refused = [&](const std::string& reason) {
        return FileOutput{false, "", "pella modify: " + file + ": " + reason + "; the file is unchanged\n"};
    };
    FileLists lists;
    if (!ReadFileLists(file, lists)) return ReadFailure("modify", file);
    std::string syntax = ElementTextOf(lists.meta.get(), 0x0002, 0x0010);
    if (syntax.empty()) return refused("its meta group names no transfer syntax");
    for (const Step& step : steps) {
        std::string reason = Apply(step, lists.data.get(), syntax.c_str());
        if (!reason.empty()) return refused(reason);
    }
    std::optional<PendingBackup> pending;
    if (backup) {
        if (std::string reason = pending.emplace(file).Make(); !reason.empty()) return refused(reason);
    }
    if (!SaveDICOMFile(file.c_str(), lists.meta.get(), lists.data.get(), syntax.c_str()))
        return refused(FailureReason("it cannot be written"));
    if (pending) {
        if (std::string reason = pending->Keep(); !reason.empty())
            return FileOutput{false, "", "pella modify: " + file + ": " + reason + "\n"};
    }
    return {true, "", ""};
}

}  // namespace

int RunModify(const std::vector<std::string>& argv) {
    Args args;
    CommandSpec spec = Spec();
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    std::vector<Step> steps;
    if (!CollectSteps(args, steps)) return 2;
    if (steps.empty()) {
        std::fprintf(stderr,
                     "pella modify: nothing to do: give -m, -i, -e, -ea, -gin, -gse or -gst\nusage: %s\n",
                     spec.usage.c_str());
        return 2;
    }
    bool backup = !args.Has("--no-backup");
    return RunOverFiles("modify", args, false,
                        [&](const std::string& file) { return ModifyFile(file, steps, backup); });
}

}  // namespace cli
