// Reads an encoded data set handed over in pieces of any size, as it arrives from the network,
// without holding its values: each element's header goes to a visitor with its encoded bytes,
// then the value's bytes as they come. Headers are decoded as ReadDatasetBytes decodes them
// (the same header reader, the same tracking of undefined-length UN sequences), so what the
// scanner sees is what any reader of the same bytes sees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/io/element_header.h"
#include "data/io/implicit_sequence_tracker.h"
#include "data/model/element_list.h"

namespace pella {

class DataSetVisitor {
public:
    virtual ~DataSetVisitor() = default;
    // A header: `element` holds tag, VR (the table's for implicit data) and length, no value;
    // `raw` its `rawSize` encoded bytes. False stops the scan.
    virtual bool Header(const DataElement& element, const uint8_t* raw, std::size_t rawSize) = 0;
    // The next bytes of the value of the last header; `last` with its final bytes. False stops
    // the scan.
    virtual bool Value(const uint8_t* bytes, std::size_t size, bool last) = 0;
};

class DataSetScanner {
public:
    // `state` tells the data set's encoding (metaMode off).
    explicit DataSetScanner(const ParseState& state);

    // Scans the next piece of the data set. False when it cannot be decoded (Failure() says
    // why) or the visitor stopped; nothing more may be fed then.
    bool Feed(const uint8_t* bytes, std::size_t size, DataSetVisitor& visitor);

    // True when everything fed so far ends with a whole element (no header or value cut short).
    bool AtElementEnd() const { return headerFill_ == 0 && valueLeft_ == 0; }

    // The encoding the next header is read in.
    const ParseState& State() const { return state_; }

    // Bytes fed so far.
    uint64_t Position() const { return position_; }

    const std::string& Failure() const { return failure_; }

private:
    bool TakeHeaderBytes(const uint8_t*& bytes, std::size_t& size, DataSetVisitor& visitor);
    bool DecodeHeader(DataSetVisitor& visitor, bool& needMore);
    bool TakeValueBytes(const uint8_t*& bytes, std::size_t& size, DataSetVisitor& visitor);

    static constexpr std::size_t kShortHeader = 8;
    static constexpr std::size_t kLongHeader = 12;

    ParseState state_;
    ImplicitSequenceTracker unSequences_;
    uint8_t header_[kLongHeader] = {};
    std::size_t headerFill_ = 0;
    std::size_t headerWanted_ = kShortHeader;
    uint64_t valueLeft_ = 0;
    uint64_t position_ = 0;
    std::string failure_;
};

}  // namespace pella
