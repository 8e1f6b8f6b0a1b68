// Readers that turn encoded DICOM data (Part 10 files, bare data sets) into element lists.
// Values keep the byte order of their encoding; only tags and lengths are decoded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/io/element_header.h"
#include "data/model/element_list.h"

namespace pella {

// Reads a Part 10 file (preamble and "DICM" required) into the meta group list and the data
// set list, appending to both. `state` tells afterwards how the data set was encoded; a
// deflated data set is inflated (within InflationLimit of its size) and reads as explicit VR
// little endian. On failure the lists keep what was read before the failure. With
// `dataOffsets`, the file offset of each data-list element's value is appended there, one per
// element (for a deflated data set, its offset in the inflated bytes).
bool ReadPart10File(const std::string& fileName, ElementList& metaList, ElementList& dataList,
                    ParseState& state, std::vector<uint64_t>* dataOffsets = nullptr);

// A read that leaves bulk values in the file: values of OB, OW, OF, OD, OL or OV and the
// items of encapsulated pixel data longer than `keepBytes` are read only up to that many bytes
// and the rest is seeked past. Each such element of the data list holds the first `keepBytes`
// bytes as its value (and as its length); `cut` lists its index and whole length.
struct BulkValueCut {
    std::size_t index;  // in the data list
    uint64_t length;    // the value's whole length in the file
};
struct BulkValueSkipping {
    uint64_t keepBytes = 256;
    std::vector<BulkValueCut> cut;
};

// As ReadPart10File, reading the file through a seekable source and skipping bulk values as
// `skipping` says.
bool ReadPart10FileSkippingBulk(const std::string& fileName, ElementList& metaList, ElementList& dataList,
                                ParseState& state, BulkValueSkipping& skipping);

// As ReadPart10File, keeping only the data set; `syntaxOut` receives the transfer syntax UID.
// A file without (0002,0010) fails.
bool ReadDatasetAndSyntax(const std::string& fileName, ElementList& dataList, std::string& syntaxOut);

// Every element in front of the pixel data (group 7FE0), meta group included, into one list.
// Reads through the file without loading the pixel data.
bool ReadHeaderForDump(const std::string& fileName, ElementList& list);

// A Part 10 file read for sending from disk: the data set's elements in front of the first
// element of group 7FE0 (the pixel data), and where the rest of the data set lies in the file.
struct DataSetFront {
    ElementList elements;     // the data set's elements before the tail
    std::string syntax;       // the transfer syntax (0002,0010)
    uint64_t tailOffset = 0;  // where the first group-7FE0 header starts; the file's size when none
    uint64_t tailLength = 0;  // bytes from there to the end of the file
    // The data set is deflated: the tail is all of it, as the file holds it, and the elements
    // were read from its inflated bytes (they are not sent in front of the tail).
    bool deflated = false;
};

// Reads the front of a Part 10 file and checks, without reading their values, that the tail's
// element headers read and their lengths fit the file. False (the reason noted) when the file
// cannot be read so; ReadDatasetAndSyntax, which takes a few damaged files, may still read it.
bool ReadDataSetFront(const std::string& fileName, DataSetFront& out);

// A data set with neither preamble nor meta group, encoded in `transferSyntaxUid`. With
// `finalState`, the parse state as the read left it (how many VRs were no VR, for one).
bool ReadRawDataset(const std::string& fileName, ElementList& list, const std::string& transferSyntaxUid,
                    ParseState* finalState = nullptr);

// A data set held in memory (a received message unit), decoded with `state` as given; the
// values must fit the bytes exactly (no end-of-file tolerance).
bool ReadDatasetBytes(const uint8_t* bytes, std::size_t size, ParseState& state, ElementList& list);

}  // namespace pella
