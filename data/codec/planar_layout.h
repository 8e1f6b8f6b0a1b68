// Moving colour samples between the two planar configurations: interleaved (R G B R G B ...)
// and one plane after the other (R R ... G G ... B B ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pella {

// Three planes of `sampleBytes`-byte samples into interleaved pixels; `planes` holds the
// three planes whole (a length not divisible by 3 * sampleBytes leaves the remainder out).
std::vector<uint8_t> InterleavePlanes(std::span<const uint8_t> planes, std::size_t sampleBytes);

// Interleaved three-sample pixels into three planes.
std::vector<uint8_t> SeparatePlanes(std::span<const uint8_t> pixels, std::size_t sampleBytes);

}  // namespace pella
