// Reads the binary PGM and PPM files that DCMTK's dcmj2pnm writes, as reference pixels.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

struct Netpbm {
    bool ok = false;
    int width = 0;
    int height = 0;
    int channels = 0;              // 1 for PGM, 3 for PPM (red, green, blue)
    std::vector<uint8_t> samples;  // rows top-down
};

inline Netpbm ReadNetpbm(const std::string& fileName) {
    Netpbm image;
    std::ifstream in(fileName, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();
    if (!in || (magic != "P5" && magic != "P6") || maxValue != 255) return image;
    image.channels = magic == "P5" ? 1 : 3;
    image.samples.resize(static_cast<std::size_t>(image.width) * image.height * image.channels);
    in.read(reinterpret_cast<char*>(image.samples.data()),
            static_cast<std::streamsize>(image.samples.size()));
    image.ok = static_cast<bool>(in);
    return image;
}

}  // namespace testing_support
