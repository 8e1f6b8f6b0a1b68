#include "data/io/dataset_scanner.h"

#include <algorithm>
#include <cstring>

#include "data/dictionary/dictionary.h"

namespace pella {

DataSetScanner::DataSetScanner(const ParseState& state) : state_(state) {
    state_.metaMode = false;
}

bool DataSetScanner::Feed(const uint8_t* bytes, std::size_t size, DataSetVisitor& visitor) {
    if (!failure_.empty()) return false;
    while (size > 0) {
        bool ok =
            valueLeft_ > 0 ? TakeValueBytes(bytes, size, visitor) : TakeHeaderBytes(bytes, size, visitor);
        if (!ok) {
            if (failure_.empty()) failure_ = "the data set was not taken";
            return false;
        }
    }
    return true;
}

// Gathers header bytes until the header decodes: 8 bytes, or 12 for a long-form explicit one.
bool DataSetScanner::TakeHeaderBytes(const uint8_t*& bytes, std::size_t& size, DataSetVisitor& visitor) {
    std::size_t n = std::min(size, headerWanted_ - headerFill_);
    std::memcpy(header_ + headerFill_, bytes, n);
    headerFill_ += n;
    bytes += n;
    size -= n;
    position_ += n;
    if (headerFill_ < headerWanted_) return true;
    bool needMore = false;
    if (DecodeHeader(visitor, needMore)) return true;
    if (!needMore) return false;
    headerWanted_ = kLongHeader;
    return true;
}

bool DataSetScanner::DecodeHeader(DataSetVisitor& visitor, bool& needMore) {
    ParseState trial = state_;
    MemorySource source(header_, headerFill_);
    ElementHeader header;
    if (!ReadElementHeader(trial, source, header)) {
        needMore = headerFill_ < kLongHeader;
        if (!needMore)
            failure_ = "element header at byte " + std::to_string(position_ - headerFill_) +
                       " holds an impossible length";
        return false;
    }
    std::size_t used = static_cast<std::size_t>(source.Position());
    if (used != headerFill_) {
        // Only a short header decodes from fewer bytes than were gathered, and a short header
        // is never gathered past its 8 bytes.
        failure_ = "element header at byte " + std::to_string(position_ - headerFill_) + " is malformed";
        return false;
    }
    state_ = trial;
    DataElement element{
        header.group, header.element, {header.vr[0], header.vr[1], 0, 0}, header.length, nullptr};
    unSequences_.Observe(state_, element);
    if (element.vr[0] == '\0') LookupVR(element);
    headerFill_ = 0;
    headerWanted_ = kShortHeader;
    valueLeft_ = header.length > 0 ? static_cast<uint64_t>(header.length) : 0;
    return visitor.Header(element, header_, used);
}

bool DataSetScanner::TakeValueBytes(const uint8_t*& bytes, std::size_t& size, DataSetVisitor& visitor) {
    std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(size, valueLeft_));
    valueLeft_ -= n;
    const uint8_t* piece = bytes;
    bytes += n;
    size -= n;
    position_ += n;
    return visitor.Value(piece, n, valueLeft_ == 0);
}

}  // namespace pella
