#include "data/codec/planar_layout.h"

#include <cstring>

namespace pella {

std::vector<uint8_t> InterleavePlanes(std::span<const uint8_t> planes, std::size_t sampleBytes) {
    const std::size_t pixels = sampleBytes == 0 ? 0 : planes.size() / (3 * sampleBytes);
    std::vector<uint8_t> out(pixels * 3 * sampleBytes);
    for (std::size_t p = 0; p < pixels; ++p)
        for (std::size_t s = 0; s < 3; ++s)
            std::memcpy(&out[(p * 3 + s) * sampleBytes], &planes[(s * pixels + p) * sampleBytes],
                        sampleBytes);
    return out;
}

std::vector<uint8_t> SeparatePlanes(std::span<const uint8_t> pixels, std::size_t sampleBytes) {
    const std::size_t count = sampleBytes == 0 ? 0 : pixels.size() / (3 * sampleBytes);
    std::vector<uint8_t> out(count * 3 * sampleBytes);
    for (std::size_t p = 0; p < count; ++p)
        for (std::size_t s = 0; s < 3; ++s)
            std::memcpy(&out[(s * count + p) * sampleBytes], &pixels[(p * 3 + s) * sampleBytes], sampleBytes);
    return out;
}

}  // namespace pella
