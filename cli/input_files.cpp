#include "cli/input_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace cli {

namespace fs = std::filesystem;

namespace {

template <typename Iterator>
void CollectFiles(const std::string& folder, std::vector<std::string>& files,
                  std::vector<std::string>& errors) {
    std::error_code ec;
    std::vector<std::string> found;
    for (Iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
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
    std::error_code ec;
    if (fs::is_directory(file, ec)) return "is a folder";
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr) return std::strerror(errno);
    char head[132];
    bool marked = std::fread(head, 1, sizeof head, f) == sizeof head &&
                  std::memcmp(head + 128, "DICM", 4) == 0;
    std::fclose(f);
    if (!marked) return "not a DICOM Part 10 file (no 128-byte preamble and \"DICM\")";
    return "an element's header or value runs past the end of the file (cut short or a wrong "
           "length)";
}

}  // namespace cli
