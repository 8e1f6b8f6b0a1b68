// A DICOM image read for drawing: the file's data set in a native little-endian encoding
// (JPEG-compressed and big-endian files go through the converter first), its image attributes
// from the data set's own top-level elements, and the stored samples of one of its frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/model/element_list.h"

namespace pella {

// Reads a Part 10 file into `list` with its pixel data native and little endian: implicit and
// explicit VR little endian as read; explicit VR big endian, JPEG lossless and JPEG baseline
// converted to explicit VR little endian. False with `reason` set for an unreadable file, another
// transfer syntax, or a failed decompression.
bool ReadImageDataset(const std::string& fileName, ElementList& list, std::string& reason);

struct ImageAttributes {
    std::string photometric;  // trimmed; empty when absent
    uint16_t samplesPerPixel = 1;
    uint16_t planarConfiguration = 0;
    uint16_t rows = 0;
    uint16_t columns = 0;
    uint16_t bitsAllocated = 0;
    uint16_t bitsStored = 0;  // bits allocated when absent or larger
    uint16_t pixelRepresentation = 0;
    uint32_t frames = 1;
    std::string windowCentre;  // the texts as stored (trimmed); empty when absent
    std::string windowWidth;
    std::string rescaleIntercept;
    std::string rescaleSlope;
    const uint8_t* pixels = nullptr;  // the pixel data value
    std::size_t pixelBytes = 0;       // its length
    std::size_t frameBytes = 0;       // bytes of one frame
    const uint8_t* frame = nullptr;   // the frame drawn: the first until SelectFrame
    std::size_t frameBit = 0;         // 1-bit images: the bit of `frame` where the frame starts
    bool bigEndianSamples = false;    // 16- and 32-bit samples stored big endian

    bool Colour() const { return samplesPerPixel == 3; }
    bool Monochrome1() const { return photometric == "MONOCHROME1"; }
    std::size_t PixelCount() const { return std::size_t{rows} * columns; }
    // Bytes the attributes announce for every frame (1-bit frames follow each other bit by bit).
    uint64_t AnnouncedBytes() const {
        return bitsAllocated == 1 ? (uint64_t{frames} * PixelCount() + 7) / 8 : uint64_t{frames} * frameBytes;
    }
};

// Takes the image attributes of the list's top-level elements (values inside sequence items,
// such as an icon image's, never stand in for them). False with `reason` set when there is no
// native pixel data at least one frame long, no rows or columns, a layout other than one 1-, 8-,
// 16- or 32-bit gray sample or three colour samples per pixel (RGB of 8, 16 or 32 bits,
// YBR_FULL and YBR_FULL_422 of 8), or another photometric interpretation. `list` must outlive
// the result.
bool ReadImageAttributes(const ElementList& list, ImageAttributes& image, std::string& reason);

// Makes frame `index` (from 0) the one drawn. False with `reason` set when the image has no such
// frame or the pixel data end before it.
bool SelectFrame(ImageAttributes& image, uint32_t index, std::string& reason);

// The stored value of gray sample `index` of the frame drawn: bits above Bits Stored dropped,
// sign-extended when Pixel Representation is 1.
int64_t StoredSample(const ImageAttributes& image, std::size_t index);

// The red, green and blue of pixel `index` of the frame drawn, 8 bits each: RGB samples planar
// or interleaved (more than 8 bits scaled to 8), YBR_FULL and YBR_FULL_422 converted to RGB.
void RgbSample(const ImageAttributes& image, std::size_t index, uint8_t rgb[3]);

}  // namespace pella
