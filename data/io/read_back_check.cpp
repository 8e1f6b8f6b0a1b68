#include "data/io/read_back_check.h"

#include <cstdio>

#include "data/io/dataset_reader.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

std::string TagText(const DataElement& e) {
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", e.group, e.element);
    return text;
}

// Empty when `read` holds the tags and lengths of `written` in order; else what differs.
std::string FirstDifference(const char* part, const ElementList& written, const ElementList& read) {
    std::size_t count = written.size() < read.size() ? written.size() : read.size();
    for (std::size_t i = 0; i < count; ++i) {
        const DataElement& w = written[i];
        const DataElement& r = read[i];
        if (w.group != r.group || w.element != r.element || w.length != r.length)
            return std::string(part) + " element " + std::to_string(i + 1) + " was written as " + TagText(w) +
                   " of length " + std::to_string(w.length) + " and reads back as " + TagText(r) +
                   " of length " + std::to_string(r.length);
    }
    if (written.size() != read.size())
        return std::string(part) + " reads back as " + std::to_string(read.size()) + " elements, not " +
               std::to_string(written.size());
    return "";
}

}  // namespace

bool FileReadsBack(const std::string& fileName, const ElementList& metaList, const ElementList& dataList,
                   std::string& reason) {
    ElementList meta, data;
    ParseState state;
    if (!ReadPart10File(fileName, meta, data, state)) {
        reason = "the written file does not read back: " + LastFailure();
        return false;
    }
    reason = FirstDifference("the meta group", metaList, meta);
    if (reason.empty()) reason = FirstDifference("the data set", dataList, data);
    return reason.empty();
}

}  // namespace pella
