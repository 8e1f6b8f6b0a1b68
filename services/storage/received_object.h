// A C-STORE data set received into its staged file while it arrives. Its elements are written
// as they came, except the data set's own file meta elements (group 0002 at the top level),
// which are dropped: the file gets its own meta header, naming the data set's SOP Class and
// Instance UID. What filing needs (the top-level attributes of the index lines) is kept aside,
// its numbers in little-endian order whatever the syntax; nothing else is held, so memory stays
// a small constant whatever the object's size. A deflated data set is written as it arrives
// (group 0002 elements and all) and inflated on the way, in bounded pieces, only to be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "data/io/dataset_scanner.h"
#include "data/io/dicom_file_stream.h"
#include "data/io/inflater.h"
#include "data/io/staged_file.h"
#include "data/model/element_list.h"
#include "data/model/nesting_tracker.h"

namespace pella {

class ReceivedObject final : private DataSetVisitor {
public:
    enum class Result {
        kComplete,      // whole, written, ready to be filed
        kCutShort,      // the data set ends inside an element header or value
        kOpenSequence,  // the data set ends inside an undefined-length sequence or item
        kMisplaced,     // its SOP UIDs came too late to head the file, or its encoding changed
        kNotWritten,    // the file could not be written
    };

    // Writes to `staged` (an empty staged file, through its own descriptor) through `buffer`
    // (see DicomFileStream); the data set is encoded in `transferSyntax`. A deflated one may
    // inflate to at most `inflationLimit` bytes.
    ReceivedObject(const StagedFile& staged, const std::string& transferSyntax, ByteVector& buffer,
                   uint64_t inflationLimit = UINT64_MAX);

    // Takes the next piece of the data set. False when it cannot be decoded or nests deeper
    // than any real data set (Failure() says why). A write failure does not stop the reception:
    // it shows in Finish.
    bool Take(const uint8_t* bytes, std::size_t size);

    // The data set has ended: closes the file and tells whether the object can be filed.
    Result Finish();

    // The top-level attributes the index lines hold, each as received (first one of a tag).
    const ElementList& Attributes() const { return attributes_; }
    const std::string& Failure() const;
    // A sequence whose items the archive index keeps came with an undefined length: it was
    // written, not kept, so its values must be read back from the file.
    bool HasOpenIndexedSequence() const { return openIndexedSequence_; }
    // The transfer syntax the data set (and so the file) is encoded in.
    const std::string& Syntax() const { return transferSyntax_; }

private:
    enum class Route { kWrite, kKeep, kDrop };

    bool Header(const DataElement& element, const uint8_t* raw, std::size_t rawSize) override;
    bool Value(const uint8_t* bytes, std::size_t size, bool last) override;
    bool Scan(const uint8_t* bytes, std::size_t size);
    void Write(const uint8_t* bytes, std::size_t size);
    Route RouteFor(const DataElement& element, bool topLevel);
    void KeepFinished();
    void MakeMeta(ElementList& meta);

    std::string transferSyntax_;
    bool explicitVR_;
    bool bigEndian_;
    std::unique_ptr<Inflater> inflater_;  // for a deflated data set
    DataSetScanner scanner_;
    NestingTracker nesting_;
    DicomFileStream file_;
    ElementList attributes_;
    Route route_ = Route::kWrite;
    ElementPtr kept_;  // the attribute whose value is arriving
    uint8_t keptHeader_[12] = {};
    std::size_t keptHeaderSize_ = 0;
    std::size_t keptFill_ = 0;
    std::size_t dropped_ = 0;
    bool openIndexedSequence_ = false;
    std::size_t kept0002_ = 0;              // group 0002 elements inside a deflated data set
    std::string metaClass_, metaInstance_;  // the UIDs the meta header names
    std::string failure_;
};

}  // namespace pella
