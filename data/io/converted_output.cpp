#include "data/io/converted_output.h"

#include <cstdlib>
#include <new>

namespace pella {

void ConvertedOutput::Append(ElementPtr element) {
    DataElement& e = *element;
    bool topLevel = nesting_.AtTopLevel();
    bool groupLength = topLevel && !pixelDataPassed_ && e.element == 0x0000 && e.group != 0xFFFE;
    if (groupLength || (topLevel && pending_ != nullptr && e.group != pending_->group)) ClosePending();
    output_.Append(std::move(element));
    if (groupLength) {
        pending_ = &e;
        measure_ = 0;
    } else {
        measure_ += EncodedHeaderSize(e, targetExplicit_) + (HasValue(e) ? uint64_t(e.length) : 0);
    }
    nesting_.Observe(e);
}

void ConvertedOutput::Finish() {
    ClosePending();
}

void ConvertedOutput::ClosePending() {
    if (pending_ == nullptr) return;
    DataElement& e = *pending_;
    pending_ = nullptr;
    if (e.length != 4) {
        std::free(e.value);
        e.value = static_cast<uint8_t*>(std::malloc(4));
        if (e.value == nullptr) {
            e.length = 0;
            throw std::bad_alloc();
        }
        e.length = 4;
    }
    // Group 0002 stays little endian in every encoding.
    bool big = targetBigEndian_ && e.group != 0x0002;
    uint32_t size = measure_ > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(measure_);
    for (int i = 0; i < 4; ++i) {
        int shift = big ? 24 - 8 * i : 8 * i;
        e.value[i] = static_cast<uint8_t>(size >> shift);
    }
    e.vr[0] = 'U';
    e.vr[1] = 'L';
}

}  // namespace pella
