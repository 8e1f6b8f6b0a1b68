// The arithmetic from stored samples to 8-bit gray levels, shared by print pages and thumbnails:
// rescale to modality values, window, luminance of colour pixels. All of it is computed wide
// and clamped before it is narrowed, so no value wraps.
#pragma once

#include <cstdint>

namespace pella {

// slope x stored + intercept, truncated toward zero (and kept within +-2^40).
int64_t ModalityValue(int64_t stored, double slope, double intercept);

// (value - centre) x 255 / width + 127, or (centre - value) x 255 / width + 127 when `invert`
// (MONOCHROME1), with integer division truncating toward zero, clamped to 0..255. `width` must
// be positive.
uint8_t WindowLevel(int64_t value, int64_t centre, int64_t width, bool invert);

// 0.299 R + 0.587 G + 0.114 B, rounded.
uint8_t Luminance(uint8_t red, uint8_t green, uint8_t blue);

}  // namespace pella
