#include "data/io/read_back_check.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "data/io/dataset_reader.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

std::string TagText(const DataElement& e) {
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", e.group, e.element);
    return text;
}

// Empty when `read` holds the tags of `written` in order with their lengths (`readLengths`, the
// whole lengths of values that were seeked past); else what differs.
std::string FirstDifference(const char* part, const ElementList& written, const ElementList& read,
                            const std::vector<int64_t>& readLengths) {
    std::size_t count = written.size() < read.size() ? written.size() : read.size();
    for (std::size_t i = 0; i < count; ++i) {
        const DataElement& w = written[i];
        const DataElement& r = read[i];
        if (w.group != r.group || w.element != r.element || w.length != readLengths[i])
            return std::string(part) + " element " + std::to_string(i + 1) + " was written as " + TagText(w) +
                   " of length " + std::to_string(w.length) + " and reads back as " + TagText(r) +
                   " of length " + std::to_string(readLengths[i]);
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
    // Tags and lengths are compared, so bulk values (the pixel data) are seeked past, not read:
    // each cut value gets its whole length back for the comparison.
    BulkValueSkipping skipping;
    if (!ReadPart10FileSkippingBulk(fileName, meta, data, state, skipping)) {
        reason = "the written file does not read back: " + LastFailure();
        return false;
    }
    std::vector<int64_t> dataLengths(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) dataLengths[i] = data[i].length;
    for (const BulkValueCut& cut : skipping.cut)
        if (cut.index < data.size()) dataLengths[cut.index] = static_cast<int64_t>(cut.length);
    std::vector<int64_t> metaLengths(meta.size());
    for (std::size_t i = 0; i < meta.size(); ++i) metaLengths[i] = meta[i].length;
    reason = FirstDifference("the meta group", metaList, meta, metaLengths);
    if (reason.empty()) reason = FirstDifference("the data set", dataList, data, dataLengths);
    return reason.empty();
}

}  // namespace pella
