// The converter through the codec registry: several frames with a Basic Offset Table written,
// frames split over fragments found through either offset table or the codestream starts, the
// image attributes following the codec, and the marks a lossy copy must carry.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/convert/dataset_conversion.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "support/data_set_builder.h"

using pella::ConvertDataset;
using pella::NewElement;
using testing_support::AddText;
using testing_support::AddUS;

namespace {

std::vector<uint8_t> Bytes(const DataElement& e) {
    return e.length > 0 ? std::vector<uint8_t>(e.value, e.value + e.length) : std::vector<uint8_t>{};
}

std::size_t IndexOf(const ElementList& list, uint16_t group, uint16_t element) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].group == group && list[i].element == element) return i;
    return list.size();
}

// An image of `frames` frames of rows x columns, `samples` of `bits`, with SOP UIDs.
ElementList Image(uint16_t rows, uint16_t columns, uint16_t bits, uint16_t samples, int frames, bool planar = false) {
    ElementList list;
    AddText(list, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    AddText(list, 0x0008, 0x0018, "UI", "1.2.3.4.5.6");
    AddUS(list, 0x0028, 0x0002, samples);
    AddText(list, 0x0028, 0x0004, "CS", samples == 3 ? "RGB" : "MONOCHROME2");
    if (samples == 3) AddUS(list, 0x0028, 0x0006, planar ? 1 : 0);
    if (frames > 1) AddText(list, 0x0028, 0x0008, "IS", std::to_string(frames));
    AddUS(list, 0x0028, 0x0010, rows);
    AddUS(list, 0x0028, 0x0011, columns);
    AddUS(list, 0x0028, 0x0100, bits);
    AddUS(list, 0x0028, 0x0101, bits);
    std::vector<uint8_t> pixels(std::size_t{rows} * columns * samples * (bits / 8) * frames);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(((i / 5) * 3 + (i / (columns * 2)) * 11) % 253);
    list.Append(NewElement(0x7FE0, 0x0010, static_cast<int32_t>(pixels.size()), pixels.data(), bits > 8 ? "OW" : "OB"));
    return list;
}

std::vector<uint8_t> NativePixels(const ElementList& list) {
    return Bytes(*pella::FindElement(list, 0x7FE0, 0x0010));
}

// The encapsulated form's items after the pixel data element: the offset table and fragments.
std::vector<std::vector<uint8_t>> Items(const ElementList& list) {
    std::vector<std::vector<uint8_t>> items;
    for (std::size_t i = IndexOf(list, 0x7FE0, 0x0010) + 1; i < list.size() && list[i].element == 0xE000; ++i)
        items.push_back(Bytes(list[i]));
    return items;
}

// `list` (encapsulated) with each frame cut in two fragments, the offset table as given, and an
// Extended Offset Table when `extended` is not empty.
ElementList Resplit(const ElementList& list, const std::vector<uint8_t>& table, const std::vector<uint8_t>& extended) {
    ElementList out;
    std::size_t pixel = IndexOf(list, 0x7FE0, 0x0010);
    for (std::size_t i = 0; i < pixel; ++i) out.Append(NewElement(list[i].group, list[i].element, list[i].length, list[i].value, list[i].vr));
    if (!extended.empty()) out.Append(NewElement(0x7FE0, 0x0001, static_cast<int32_t>(extended.size()), extended.data(), "OV"));
    out.Append(NewElement(0x7FE0, 0x0010, -1, nullptr, "OB"));
    out.Append(NewElement(0xFFFE, 0xE000, static_cast<int32_t>(table.size()), table.data(), "DL"));
    std::vector<std::vector<uint8_t>> items = Items(list);
    for (std::size_t f = 1; f < items.size(); ++f) {
        std::size_t half = (items[f].size() / 4) * 2;
        out.Append(NewElement(0xFFFE, 0xE000, static_cast<int32_t>(half), items[f].data(), "DL"));
        out.Append(NewElement(0xFFFE, 0xE000, static_cast<int32_t>(items[f].size() - half), items[f].data() + half, "DL"));
    }
    out.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    return out;
}

// The offsets of frames of the given sizes once each is cut in two fragments.
std::vector<uint64_t> SplitOffsets(const std::vector<std::vector<uint8_t>>& items) {
    std::vector<uint64_t> offsets;
    uint64_t at = 0;
    for (std::size_t f = 1; f < items.size(); ++f) {
        offsets.push_back(at);
        at += 16 + items[f].size();
    }
    return offsets;
}

template <typename T>
std::vector<uint8_t> LittleEndian(const std::vector<uint64_t>& values) {
    std::vector<uint8_t> out;
    for (uint64_t v : values)
        for (std::size_t b = 0; b < sizeof(T); ++b) out.push_back(static_cast<uint8_t>(v >> (8 * b)));
    return out;
}

std::string Text(const ElementList& list, uint16_t group, uint16_t element) {
    return pella::GetElementText(list, group, element);
}

}  // namespace

TEST(CodecConversion, FramesSplitOverFragmentsAreFoundThroughEitherOffsetTableOrTheStreamStarts) {
    for (const char* syntax : {PELLA_RLE_LOSSLESS, PELLA_JPEG_LOSSLESS_SV1}) {
        SCOPED_TRACE(syntax);
        ElementList input = Image(20, 30, 16, 1, 3), encoded, decoded;
        std::vector<uint8_t> original = NativePixels(input);
        ASSERT_TRUE(ConvertDataset(encoded, input, syntax, pella::kExplicitLittleEndian)) << pella::LastFailure();
        // One fragment a frame behind a Basic Offset Table naming where each starts.
        std::vector<std::vector<uint8_t>> items = Items(encoded);
        ASSERT_EQ(items.size(), 4u);
        std::vector<uint64_t> starts = {0, 8 + items[1].size(), 16 + items[1].size() + items[2].size()};
        EXPECT_EQ(items[0], LittleEndian<uint32_t>(starts));
        ASSERT_TRUE(ConvertDataset(decoded, encoded, pella::kExplicitLittleEndian, syntax)) << pella::LastFailure();
        EXPECT_EQ(NativePixels(decoded), original);

        std::vector<uint64_t> offsets = SplitOffsets(items);
        struct Layout {
            const char* name;
            ElementList list;
        };
        std::vector<Layout> layouts;
        layouts.push_back({"basic offset table", Resplit(encoded, LittleEndian<uint32_t>(offsets), {})});
        layouts.push_back({"extended offset table", Resplit(encoded, {}, LittleEndian<uint64_t>(offsets))});
        // JPEG streams tell their own starts; RLE frames do not.
        if (std::string(syntax) != PELLA_RLE_LOSSLESS) layouts.push_back({"no table", Resplit(encoded, {}, {})});
        for (Layout& layout : layouts) {
            ElementList back;
            ASSERT_TRUE(ConvertDataset(back, layout.list, pella::kExplicitLittleEndian, syntax))
                << layout.name << ": " << pella::LastFailure();
            EXPECT_EQ(NativePixels(back), original) << layout.name;
            EXPECT_EQ(pella::FindElement(back, 0x7FE0, 0x0001), nullptr) << layout.name;  // gone with the fragments
        }
        // A table pointing inside a fragment, and one with a frame too few, are refused.
        std::vector<uint64_t> inside = offsets, fewer(offsets.begin(), offsets.end() - 1);
        inside[1] += 2;
        for (const auto& bad : {inside, fewer}) {
            ElementList list = Resplit(encoded, LittleEndian<uint32_t>(bad), {}), back;
            EXPECT_FALSE(ConvertDataset(back, list, pella::kExplicitLittleEndian, syntax));
        }
    }
}

TEST(CodecConversion, ImageAttributesFollowTheCodecAndLossyCopiesAreMarked) {
    // Planar RGB into JPEG baseline: coded interleaved as YCbCr.
    ElementList input = Image(16, 24, 8, 3, 1, true), lossy;
    std::vector<uint8_t> original = NativePixels(input);
    ASSERT_TRUE(ConvertDataset(lossy, input, PELLA_JPEG_BASELINE, pella::kExplicitLittleEndian)) << pella::LastFailure();
    EXPECT_EQ(Text(lossy, 0x0028, 0x0004), "YBR_FULL");
    EXPECT_EQ(pella::GetElementUS(lossy, 0x0028, 0x0006), 0);
    // The lossy copy: a new instance, marked lossy with ratio and method, pointing at its source.
    std::string uid = Text(lossy, 0x0008, 0x0018);
    EXPECT_NE(uid, "1.2.3.4.5.6");
    EXPECT_EQ(uid.rfind("2.25.", 0), 0u) << uid;
    EXPECT_EQ(Text(lossy, 0x0028, 0x2110), "01");
    EXPECT_GT(std::stod(Text(lossy, 0x0028, 0x2112)), 1.0);
    EXPECT_EQ(Text(lossy, 0x0028, 0x2114), "ISO_10918_1");
    EXPECT_FALSE(Text(lossy, 0x0008, 0x2111).empty());
    ASSERT_NE(pella::FindElement(lossy, 0x0008, 0x2112), nullptr);
    const DataElement* source = pella::FindNestedElement(lossy, 0x0008, 0x1155);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(source->value), 11), "1.2.3.4.5.6");
    // Every attribute in tag order, so that the copy is a valid data set.
    uint32_t last = 0;
    int depth = 0;
    for (std::size_t i = 0; i < IndexOf(lossy, 0x7FE0, 0x0010); ++i) {
        const DataElement& e = lossy[i];
        if (e.group == 0xFFFE) {
            depth -= e.element == 0xE0DD;
            continue;
        }
        uint32_t tag = uint32_t{e.group} << 16 | e.element;
        if (depth == 0) {
            EXPECT_GT(tag, last) << std::hex << tag;
            last = tag;
        }
        depth += std::string(e.vr, 2) == "SQ" && e.length == -1;
    }

    // Decoded again: RGB, close to the original, still lossy, same instance (a lossless step).
    ElementList back;
    ASSERT_TRUE(ConvertDataset(back, lossy, pella::kExplicitLittleEndian, PELLA_JPEG_BASELINE)) << pella::LastFailure();
    EXPECT_EQ(Text(back, 0x0028, 0x0004), "RGB");
    EXPECT_EQ(Text(back, 0x0028, 0x2110), "01");
    EXPECT_EQ(Text(back, 0x0008, 0x0018), uid);
    std::vector<uint8_t> pixels = NativePixels(back);
    ASSERT_EQ(pixels.size(), original.size());
    // Compare against the original made interleaved.
    const std::size_t n = 16 * 24;
    double difference = 0;
    for (std::size_t p = 0; p < n; ++p)
        for (std::size_t s = 0; s < 3; ++s) difference += std::abs(int(pixels[p * 3 + s]) - int(original[s * n + p]));
    EXPECT_LT(difference / (3 * n), 6.0);

    // Lossless conversions keep the instance and add no lossy marks.
    ElementList rle, plain = Image(16, 24, 8, 3, 1, true);
    ASSERT_TRUE(ConvertDataset(rle, plain, PELLA_RLE_LOSSLESS, pella::kExplicitLittleEndian)) << pella::LastFailure();
    EXPECT_EQ(Text(rle, 0x0008, 0x0018), "1.2.3.4.5.6");
    EXPECT_EQ(pella::FindElement(rle, 0x0028, 0x2110), nullptr);
    EXPECT_EQ(pella::GetElementUS(rle, 0x0028, 0x0006), 0);
}
