#include "imaging/bitmap_bmp.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace pella {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr uint32_t kRgbCompression = 0;
constexpr uint32_t kBitFieldsCompression = 3;

uint32_t Read32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
           (uint32_t{b[at + 3]} << 24);
}
uint16_t Read16(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

bool LoadBytes(const std::string& fileName, std::vector<uint8_t>& bytes, std::string& reason) {
    std::ifstream in(fileName, std::ios::binary | std::ios::ate);
    if (!in) {
        reason = "cannot open the file";
        return false;
    }
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxBitmapBytes + (1u << 20)) {
        reason = "the file is too large for a bitmap";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        reason = "cannot read the file";
        return false;
    }
    return true;
}

// What the headers say, checked against the file's size.
struct BmpLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    bool bottomUp = true;
    uint16_t bits = 0;
    std::size_t paletteOffset = 0;
    uint32_t paletteCount = 0;
    uint64_t pixelOffset = 0;
    uint64_t stride = 0;
};

bool Refuse(std::string& reason, const std::string& text) {
    reason = text;
    return false;
}

bool CheckMasks(const std::vector<uint8_t>& b, std::size_t at, std::string& reason) {
    if (at + 12 > b.size()) return Refuse(reason, "the colour masks lie past the end of the file");
    if (Read32(b, at) != 0x00FF0000 || Read32(b, at + 4) != 0x0000FF00 || Read32(b, at + 8) != 0x000000FF)
        return Refuse(reason, "colour masks other than 8 bits each of red, green, blue");
    return true;
}

bool ReadLayout(const std::vector<uint8_t>& b, BmpLayout& layout, std::string& reason) {
    if (b.size() < kFileHeaderSize + kInfoHeaderSize || b[0] != 'B' || b[1] != 'M')
        return Refuse(reason, "not a BMP file (no \"BM\" header)");
    uint32_t infoSize = Read32(b, 14);
    if (infoSize < kInfoHeaderSize || kFileHeaderSize + uint64_t{infoSize} > b.size())
        return Refuse(reason, "the info header size " + std::to_string(infoSize) + " does not fit the file");
    auto width = static_cast<int32_t>(Read32(b, 18));
    auto height = static_cast<int32_t>(Read32(b, 22));
    layout.bits = Read16(b, 28);
    uint32_t compression = Read32(b, 30);
    if (width <= 0 || height == 0 || height == INT32_MIN || static_cast<uint32_t>(width) > kMaxBitmapSide ||
        static_cast<uint32_t>(height < 0 ? -height : height) > kMaxBitmapSide)
        return Refuse(reason,
                      "a size of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
    if (Read16(b, 26) != 1) return Refuse(reason, "a plane count other than 1");
    if (layout.bits != 8 && layout.bits != 24 && layout.bits != 32)
        return Refuse(reason,
                      "a depth of " + std::to_string(layout.bits) + " bits (only 8, 24 and 32 are read)");
    layout.width = static_cast<uint32_t>(width);
    layout.bottomUp = height > 0;
    layout.height = static_cast<uint32_t>(height < 0 ? -height : height);
    std::size_t afterInfo = kFileHeaderSize + infoSize;
    if (compression == kBitFieldsCompression && layout.bits == 32) {
        std::size_t masks = infoSize == kInfoHeaderSize ? afterInfo : kFileHeaderSize + kInfoHeaderSize;
        if (!CheckMasks(b, masks, reason)) return false;
        if (infoSize == kInfoHeaderSize) afterInfo += 12;
    } else if (compression != kRgbCompression) {
        return Refuse(reason, "compression type " + std::to_string(compression) +
                                  " (only uncompressed files are read)");
    }
    if (layout.bits == 8) {
        uint32_t used = Read32(b, 46);
        layout.paletteCount = used == 0 ? 256 : used;
        if (layout.paletteCount > 256)
            return Refuse(reason, "a palette of " + std::to_string(used) + " entries");
        layout.paletteOffset = afterInfo;
        afterInfo += std::size_t{layout.paletteCount} * 4;
        if (afterInfo > b.size()) return Refuse(reason, "the palette lies past the end of the file");
    }
    layout.pixelOffset = Read32(b, 10);
    layout.stride = (uint64_t{layout.width} * layout.bits + 31) / 32 * 4;
    if (layout.pixelOffset < afterInfo) return Refuse(reason, "the pixel offset points into the headers");
    if (layout.pixelOffset + layout.stride * layout.height > b.size())
        return Refuse(reason, "the pixels announced (" + std::to_string(layout.width) + " x " +
                                  std::to_string(layout.height) + " at " + std::to_string(layout.bits) +
                                  " bits) lie past the end of the file");
    return true;
}

PixelFormat FormatOf(uint16_t bits) {
    return bits == 8 ? PixelFormat::Gray8 : bits == 24 ? PixelFormat::Bgr24 : PixelFormat::Bgrx32;
}

}  // namespace

bool ReadBmpFile(const std::string& fileName, Bitmap& bitmap, std::string& reason) {
    std::vector<uint8_t> bytes;
    BmpLayout layout;
    if (!LoadBytes(fileName, bytes, reason) || !ReadLayout(bytes, layout, reason)) return false;
    Bitmap loaded;
    loaded.Reset(FormatOf(layout.bits), layout.width, layout.height);
    if (layout.bits == 8) {
        for (std::size_t i = 0; i < 256; ++i) loaded.Palette()[i] = Rgb{};
        for (std::size_t i = 0; i < layout.paletteCount; ++i) {
            const uint8_t* entry = bytes.data() + layout.paletteOffset + 4 * i;
            loaded.Palette()[i] = Rgb{entry[2], entry[1], entry[0]};
        }
    }
    for (uint32_t y = 0; y < layout.height; ++y) {
        uint32_t fileRow = layout.bottomUp ? layout.height - 1 - y : y;
        std::memcpy(loaded.Row(y), bytes.data() + layout.pixelOffset + layout.stride * fileRow,
                    loaded.RowBytes());
    }
    bitmap = std::move(loaded);
    return true;
}

bool WriteBmpFile(const std::string& fileName, const Bitmap& bitmap, std::string& reason) {
    std::size_t bits = BytesPerPixel(bitmap.Format()) * 8;
    std::size_t stride = (bitmap.Width() * bits + 31) / 32 * 4;
    std::size_t paletteBytes = bitmap.Format() == PixelFormat::Gray8 ? 256 * 4 : 0;
    std::size_t offset = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
    std::size_t total = offset + stride * bitmap.Height();
    std::vector<uint8_t> out;
    out.reserve(total);
    out.push_back('B');
    out.push_back('M');
    Put32(out, static_cast<uint32_t>(total));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(offset));
    Put32(out, kInfoHeaderSize);
    Put32(out, bitmap.Width());
    Put32(out, bitmap.Height());
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(bits));
    Put32(out, kRgbCompression);
    Put32(out, static_cast<uint32_t>(stride * bitmap.Height()));
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, paletteBytes ? 256 : 0);
    Put32(out, 0);
    for (std::size_t i = 0; paletteBytes && i < 256; ++i) {
        const Rgb& entry = bitmap.Palette()[i];
        out.insert(out.end(), {entry.blue, entry.green, entry.red, 0});
    }
    for (uint32_t y = bitmap.Height(); y-- > 0;) {
        const uint8_t* row = bitmap.Row(y);
        out.insert(out.end(), row, row + bitmap.RowBytes());
        out.insert(out.end(), stride - bitmap.RowBytes(), 0);
    }
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    if (!file ||
        !file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size())) ||
        !file.flush()) {
        reason = "cannot write the file";
        return false;
    }
    return true;
}

}  // namespace pella
