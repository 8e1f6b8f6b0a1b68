#include "cli/input_files.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "pella.h"

namespace cli {

namespace fs = std::filesystem;

namespace {

template <typename Iterator>
void CollectFiles(const std::string& folder, std::vector<std::string>& files,
                  std::vector<std::string>& errors) {
    std::error_code ec;
    std::vector<std::string> found;
    for (Iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError)) found.push_back(it->path().string());
    }
    if (ec) errors.push_back("cannot list '" + folder + "': " + ec.message());
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
}

}  // namespace

InputFiles ExpandInputs(const std::vector<std::string>& names, bool recursive) {
    InputFiles inputs;
    for (const std::string& name : names) {
        std::error_code ec;
        fs::file_status status = fs::status(name, ec);
        if (fs::is_directory(status)) {
            inputs.namedFolder = true;
            if (recursive)
                CollectFiles<fs::recursive_directory_iterator>(name, inputs.files, inputs.errors);
            else
                CollectFiles<fs::directory_iterator>(name, inputs.files, inputs.errors);
        } else if (fs::exists(status)) {
            inputs.files.push_back(name);
        } else {
            inputs.errors.push_back("cannot read '" + name + "': no such file or folder");
        }
    }
    return inputs;
}

std::string ReadFailureReason(const std::string& file) {
    switch (CheckDICOMFile(file.c_str())) {
        case PELLA_FILE_PART10:
            return "an element's header or value runs past the end of the file (cut short or a "
                   "wrong length)";
        case PELLA_FILE_MISSING:
            return std::strerror(ENOENT);
        case PELLA_FILE_FOLDER:
            return "is a folder";
        case PELLA_FILE_NOT_REGULAR:
            return "not a regular file (a pipe, socket or device)";
        case PELLA_FILE_NOT_PART10:
            return "not a DICOM Part 10 file (no 128-byte preamble and \"DICM\")";
        default:
            return access(file.c_str(), R_OK) != 0 ? std::strerror(errno) : "cannot be opened";
    }
}

}  // namespace cli
