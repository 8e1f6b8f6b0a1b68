// The gray level of a colour pixel, shared by print pages and their bitmaps.
#pragma once

#include <cstdint>

namespace pella {

// 0.299 R + 0.587 G + 0.114 B, rounded.
uint8_t Luminance(uint8_t red, uint8_t green, uint8_t blue);

}  // namespace pella
