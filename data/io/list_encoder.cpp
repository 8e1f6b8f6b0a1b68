#include "data/io/list_encoder.h"

#include <algorithm>
#include <cstring>

#include "data/io/dataset_writer.h"

namespace pella {

ListEncoder::ListEncoder(const ElementList& list, bool explicitVR, bool bigEndian)
    : list_(list), explicitVR_(explicitVR), bigEndian_(bigEndian) {}

void ListEncoder::LoadElement() {
    const DataElement& e = list_[index_];
    headerSize_ = EncodeElementHeader(e, explicitVR_, bigEndian_, header_);
    valueSize_ = HasValue(e) ? static_cast<std::size_t>(e.length) : 0;
    offset_ = 0;
    loaded_ = true;
}

std::size_t ListEncoder::Next(uint8_t* out, std::size_t count) {
    std::size_t given = 0;
    while (given < count && index_ < list_.size()) {
        if (!loaded_) LoadElement();
        const std::size_t total = headerSize_ + valueSize_;
        const std::size_t n = std::min(count - given, total - offset_);
        std::size_t fromHeader = offset_ < headerSize_ ? std::min(n, headerSize_ - offset_) : 0;
        if (fromHeader > 0) std::memcpy(out + given, header_ + offset_, fromHeader);
        if (n > fromHeader)
            std::memcpy(out + given + fromHeader, list_[index_].value + (offset_ + fromHeader - headerSize_),
                        n - fromHeader);
        given += n;
        offset_ += n;
        if (offset_ == total) {
            ++index_;
            loaded_ = false;
        }
    }
    return given;
}

}  // namespace pella
