#include "cli/bitmap_output.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "cli/network_options.h"

namespace cli {

namespace {

std::string LowerExtension(const std::string& fileName) {
    std::size_t dot = fileName.rfind('.');
    std::string extension = dot == std::string::npos ? "" : fileName.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace

bool IsBitmapOutputName(const std::string& fileName) {
    std::string extension = LowerExtension(fileName);
    return extension == ".png" || extension == ".bmp";
}

bool SaveBitmapFile(const std::string& command, Bitmap* bitmap, const std::string& fileName) {
    bool png = LowerExtension(fileName) == ".png";
    uint8_t saved = png ? SaveBitmapPNG(bitmap, fileName.c_str()) : SaveBitmapBMP(bitmap, fileName.c_str());
    if (saved) return true;
    std::fprintf(stderr, "pella %s: %s\n", command.c_str(),
                 FailureReason("cannot write " + fileName).c_str());
    return false;
}

}  // namespace cli
