// Pixel data of real DICOM files for codec tests: JPEG frames out of encapsulated pixel data, and
// native pixel data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/io/dataset_reader.h"
#include "data/jpeg/jpeg_codec.h"
#include "support/sample_files.h"

namespace testing_support {

struct PixelFile {
    bool ok = false;
    pella::JpegFrameShape shape;
    unsigned bitsAllocated = 0;
    std::vector<std::vector<uint8_t>> frames;  // compressed: one per frame (fragments joined)
    std::vector<uint8_t> native;               // native pixel data
};

// Reads image geometry and pixel data; encapsulated data give one JPEG stream per frame.
inline PixelFile ReadPixelFile(const std::string& fileName) {
    PixelFile out;
    ElementList meta, data;
    pella::ParseState state;
    if (!pella::ReadPart10File(fileName, meta, data, state)) return out;
    out.shape.rows = pella::GetElementUS(data, 0x0028, 0x0010);
    out.shape.columns = pella::GetElementUS(data, 0x0028, 0x0011);
    out.shape.components = pella::GetElementUS(data, 0x0028, 0x0002);
    out.bitsAllocated = pella::GetElementUS(data, 0x0028, 0x0100);
    std::size_t i = 0;
    while (i < data.size() && !(data[i].group == 0x7FE0 && data[i].element == 0x0010)) ++i;
    if (i == data.size()) return out;
    const DataElement& pixels = data[i];
    if (pixels.length != -1) {
        out.native.assign(pixels.value, pixels.value + pixels.length);
        out.ok = true;
        return out;
    }
    // Offset table item first, then fragments; one frame per fragment unless single-frame.
    bool singleFrame = pella::GetElementText(data, 0x0028, 0x0008).empty() ||
                       pella::GetElementText(data, 0x0028, 0x0008) == "1";
    for (std::size_t k = i + 2; k < data.size() && data[k].element == 0xE000; ++k) {
        std::vector<uint8_t> fragment(data[k].value, data[k].value + std::max(data[k].length, 0));
        if (singleFrame && !out.frames.empty())
            out.frames.back().insert(out.frames.back().end(), fragment.begin(), fragment.end());
        else
            out.frames.push_back(std::move(fragment));
    }
    out.ok = !out.frames.empty();
    return out;
}

}  // namespace testing_support
