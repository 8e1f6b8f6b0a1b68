#include "services/storage/field_lines.h"

#include <fstream>
#include <sstream>

namespace pella {

namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream words(line.substr(0, line.find('#')));
    for (std::string word; words >> word;) fields.push_back(word);
    return fields;
}

}  // namespace

bool ReadBoundedTextFile(const std::string& path, const std::string& what, std::size_t maxBytes,
                         std::string& text, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "the " + what + " file " + path + " cannot be read";
        return false;
    }
    text.assign(maxBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > maxBytes) {
        why = "the " + what + " file " + path + " is larger than " + std::to_string(maxBytes >> 20) + " MiB";
        return false;
    }
    return true;
}

bool ForEachFieldLine(
    const std::string& text,
    const std::function<bool(const std::vector<std::string>& fields, std::string& problem)>& take,
    std::string& why) {
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields = Fields(line);
        if (fields.empty()) continue;
        std::string problem;
        if (!take(fields, problem)) {
            why = "line " + std::to_string(number) + ": " + problem;
            return false;
        }
    }
    return true;
}

}  // namespace pella
