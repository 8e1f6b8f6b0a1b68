// The DICOM JSON model of a data set held as a flat element list (as the readers return it):
// tags as keys, "vr", and "Value", "InlineBinary" or "BulkDataURI"; sequences as arrays of
// objects. Inline binary values are held as JSON binary values, which AppendJsonText writes as
// the model's base64 strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/io/element_header.h"
#include "data/json/json_values.h"
#include "data/model/element_list.h"

namespace pella {

struct JsonOptions {
    // Binary values (and encapsulated pixel data) longer than this many bytes are given as a
    // BulkDataURI; a negative limit inlines every value.
    int64_t inlineLimit = 1024;
    // "file:///..." of the file the list was read from; bulk data are inlined without it.
    std::string fileUri;
};

struct JsonSource {
    const ElementList& list;
    const std::vector<uint64_t>* valueOffsets;  // file offset of each element's value, or null
    ParseState encoding;                        // how the data set was encoded
};

// The data set's JSON object. Group 0002 elements are left out (they describe the file, not the
// data set). False when sequences nest deeper than the readers accept.
bool DatasetToJson(const JsonSource& source, const JsonOptions& options, Json& out);

}  // namespace pella
