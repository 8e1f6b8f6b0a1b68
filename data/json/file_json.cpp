#include "data/json/file_json.h"

#include <filesystem>
#include <vector>

#include "data/io/dataset_reader.h"
#include "data/io/element_header.h"
#include "data/json/dataset_json.h"
#include "data/json/json_text.h"

namespace pella {

namespace {

bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

}  // namespace

std::string FileUri(const std::string& fileName) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(fileName, ec);
    std::string text = (ec ? std::filesystem::path(fileName) : path).lexically_normal().string();
    std::string uri = "file://";
    for (unsigned char c : text) {
        if (Unreserved(c)) {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri;
}

bool FileToJsonText(const std::string& fileName, int64_t inlineLimit, std::string& out) {
    ElementList meta;
    ElementList data;
    std::vector<uint64_t> offsets;
    ParseState state;
    if (!ReadPart10File(fileName, meta, data, state, &offsets)) return false;
    JsonOptions options;
    options.inlineLimit = inlineLimit;
    if (inlineLimit >= 0) options.fileUri = FileUri(fileName);
    Json json;
    // A deflated file's values have no offsets in the file to point to: they are all inline.
    bool deflated = TransferSyntax(ElementUid(meta, 0x0002, 0x0010)).Deflated();
    if (!DatasetToJson({data, deflated ? nullptr : &offsets, state}, options, json)) return false;
    out.clear();
    AppendJsonText(out, json);
    return true;
}

}  // namespace pella
