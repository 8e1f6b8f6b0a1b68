// An output list with the bookkeeping that recomputes group lengths for the target encoding as
// elements are appended (the converter's output, and edited data sets).
#pragma once

#include <cstdint>

#include "data/model/element_list.h"
#include "data/model/nesting_tracker.h"

namespace pella {

class ConvertedOutput {
public:
    ConvertedOutput(ElementList& output, bool targetExplicit, bool targetBigEndian)
        : output_(output), targetExplicit_(targetExplicit), targetBigEndian_(targetBigEndian) {}

    // Appends the element. A group length element of the data set itself (not inside a
    // sequence, in front of the pixel data) closes the pending one and starts a new measure;
    // every other element is measured in its target encoding. A top-level element of another
    // group closes the pending group length too, so that it never counts a foreign group.
    void Append(ElementPtr element);

    // From here on element number 0 is an ordinary element.
    void PixelDataPassed() { pixelDataPassed_ = true; }

    // Stores the measure in the pending group length element, if there is one.
    void Finish();

private:
    void ClosePending();

    ElementList& output_;
    bool targetExplicit_;
    bool targetBigEndian_;
    bool pixelDataPassed_ = false;
    NestingTracker nesting_;
    DataElement* pending_ = nullptr;  // owned by output_
    uint64_t measure_ = 0;
};

}  // namespace pella
