#include "services/storage/series_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "data/io/dicom_file_check.h"
#include "log/protocol_log.h"
#include "services/storage/index_lines.h"
#include "services/storage/object_paths.h"

namespace pella {

namespace fs = std::filesystem;

namespace {

// The file an image index line names, or empty when it names none inside the folder.
std::string FileOfIndexLine(const std::string& folder, const std::string& line) {
    std::string instance = ImageLineSopInstance(line);
    if (instance.empty() || instance.find('/') != std::string::npos ||
        instance.find("..") != std::string::npos || instance.find('\0') != std::string::npos) {
        WriteLogLine("Series: index line names no file in the folder: " + line);
        return "";
    }
    return JoinPath(folder, instance + ".dcm");
}

}  // namespace

void ListDicomFiles(const std::string& folder, std::vector<std::string>& list) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsPart10File(JoinPath(folder, name))) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) list.push_back(JoinPath(folder, name));
}

std::vector<std::string> SeriesFilesToSend(const std::string& folder, std::vector<std::string>* lines) {
    std::vector<std::string> files;
    std::string indexFile = JoinPath(folder, kImageIndexName);
    std::error_code ec;
    if (!fs::exists(indexFile, ec)) {
        ListDicomFiles(folder, files);
        return files;
    }
    for (const std::string& line : ReadIndexLines(indexFile)) {
        files.push_back(FileOfIndexLine(folder, line));
        if (lines != nullptr) lines->push_back(line);
    }
    return files;
}

}  // namespace pella
