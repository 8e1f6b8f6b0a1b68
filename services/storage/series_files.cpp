#include "services/storage/series_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "data/io/part10_file.h"
#include "log/protocol_log.h"
#include "services/storage/index_lines.h"
#include "services/storage/object_paths.h"

namespace pella {

namespace fs = std::filesystem;

namespace {

// The file an image index line names, or empty when it names none inside the folder.
std::string FileOfIndexLine(const std::string& folder, const std::string& line) {
    std::string instance = GetDelimitedField(line, 3, ',');
    if (instance.empty() || instance.find('/') != std::string::npos ||
        instance.find("..") != std::string::npos || instance.find('\0') != std::string::npos) {
        WriteLogLine("Series: index line names no file in the folder: " + line);
        return "";
    }
    return JoinPath(folder, instance + ".dcm");
}

// Lines separated by CR LF (a lone LF is accepted too); empty lines are no entries. An index
// that is no regular file (a pipe, a folder) has no lines.
std::vector<std::string> ReadIndexLines(const std::string& indexFile) {
    std::vector<std::string> lines;
    std::error_code ec;
    if (!fs::is_regular_file(indexFile, ec)) return lines;
    std::ifstream in(indexFile, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
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

std::string GetDelimitedField(const std::string& text, int n, char delimiter) {
    if (n < 1) return "";
    std::size_t start = 0;
    for (int field = 1; field < n; ++field) {
        std::size_t next = text.find(delimiter, start);
        if (next == std::string::npos) return "";
        start = next + 1;
    }
    std::size_t end = text.find(delimiter, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<std::string> SeriesFilesToSend(const std::string& folder) {
    std::vector<std::string> files;
    std::string indexFile = JoinPath(folder, kImageIndexName);
    std::error_code ec;
    if (!fs::exists(indexFile, ec)) {
        ListDicomFiles(folder, files);
        return files;
    }
    for (const std::string& line : ReadIndexLines(indexFile))
        files.push_back(FileOfIndexLine(folder, line));
    return files;
}

}  // namespace pella
