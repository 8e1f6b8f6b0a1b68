// Transfer-syntax conversion of hand-built element lists: encodings, group lengths, sequences,
// pixel data layout and the failures that must not turn into crashes or large allocations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/convert/conversion_syntax.h"
#include "data/convert/dataset_conversion.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/encoded_element.h"
#include "data/jpeg/jpeg_codec.h"
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

void AddRaw(ElementList& list, uint16_t group, uint16_t element, const char* vr, std::vector<uint8_t> value) {
    list.Append(NewElement(group, element, static_cast<int32_t>(value.size()), value.data(), vr));
}

// A monochrome image: group 0028 attributes, then native pixel data of `pixelBytes` bytes.
ElementList Image(uint16_t rows, uint16_t columns, uint16_t bits, int frames, std::size_t pixelBytes) {
    ElementList list;
    AddText(list, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    AddUS(list, 0x0028, 0x0002, 1);
    AddText(list, 0x0028, 0x0004, "CS", "MONOCHROME2");
    if (frames > 1) AddText(list, 0x0028, 0x0008, "IS", std::to_string(frames));
    AddUS(list, 0x0028, 0x0010, rows);
    AddUS(list, 0x0028, 0x0011, columns);
    AddUS(list, 0x0028, 0x0100, bits);
    std::vector<uint8_t> pixels(pixelBytes);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 7) % 251);
    AddRaw(list, 0x7FE0, 0x0010, bits > 8 ? "OW" : "OB", pixels);
    return list;
}

const DataElement* Find(const ElementList& list, uint16_t group, uint16_t element) {
    return pella::FindElement(list, group, element);
}

std::size_t IndexOf(const ElementList& list, uint16_t group, uint16_t element) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].group == group && list[i].element == element) return i;
    return list.size();
}

}  // namespace

TEST(ConvertDataset, ImplicitToExplicitFillsVRsAndUnknownTagsBecomeUN) {
    ElementList input;
    AddRaw(input, 0x0010, 0x0010, "", {'A', 'B'});
    AddRaw(input, 0x0011, 0x1010, "", {1, 2, 3, 4});  // private, not in the dictionary
    ElementList output;
    ASSERT_TRUE(ConvertDataset(output, input, pella::kExplicitLittleEndian, pella::kImplicitLittleEndian));
    ASSERT_EQ(output.size(), 2u);
    EXPECT_STREQ(output[0].vr, "PN");
    EXPECT_STREQ(output[1].vr, "UN");
    EXPECT_STREQ(input[0].vr, "PN");  // the input gains its VRs too
    // The UN element takes the long header form in explicit VR.
    EXPECT_EQ(pella::SerializeList(output, true, false).size(), 8u + 2u + 12u + 4u);
}

TEST(ConvertDataset, ByteOrderChangeReversesBinaryNumbersOnly) {
    ElementList input;
    AddRaw(input, 0x0018, 0x1310, "US", {0x01, 0x00, 0x02, 0x00});
    AddRaw(input, 0x0018, 0x9087, "FD", {1, 2, 3, 4, 5, 6, 7, 8});
    AddRaw(input, 0x0018, 0x1050, "DS", {'1', '.', '5', ' '});
    AddRaw(input, 0x0028, 0x1201, "OW", {0x10, 0x20, 0x30, 0x40});
    ElementList output;
    ASSERT_TRUE(ConvertDataset(output, input, pella::kExplicitBigEndian, pella::kExplicitLittleEndian));
    EXPECT_EQ(Bytes(output[0]), (std::vector<uint8_t>{0x00, 0x01, 0x00, 0x02}));
    EXPECT_EQ(Bytes(output[1]), (std::vector<uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Bytes(output[2]), Bytes(input[2]));
    // OW holds 16-bit words: big endian readers expect them reversed.
    EXPECT_EQ(Bytes(output[3]), (std::vector<uint8_t>{0x20, 0x10, 0x40, 0x30}));
    ElementList back;
    ASSERT_TRUE(ConvertDataset(back, output, pella::kExplicitLittleEndian, pella::kExplicitBigEndian));
    for (std::size_t i = 0; i < input.size(); ++i) EXPECT_EQ(Bytes(back[i]), Bytes(input[i])) << i;
}

TEST(ConvertDataset, GroupLengthsAreRecomputedForTheTargetEncoding) {
    ElementList input;
    AddRaw(input, 0x0008, 0x0000, "UL", {0, 0, 0, 0});
    AddText(input, 0x0008, 0x0060, "CS", "MR");
    AddText(input, 0x0008, 0x0070, "LO", "ACME");
    AddRaw(input, 0x0010, 0x0000, "UL", {0, 0, 0, 0});
    AddText(input, 0x0010, 0x0010, "PN", "DOE^J");
    AddRaw(input, 0x0010, 0x0001, "", {0, 0});         // unknown: UN, long form
    AddText(input, 0x0020, 0x0010, "SH", "1");         // no group length of its own
    for (auto& e : input) e->vr[0] = e->vr[1] = '\0';  // as read from an implicit file
    ElementList output;
    ASSERT_TRUE(ConvertDataset(output, input, pella::kExplicitLittleEndian, pella::kImplicitLittleEndian));
    auto groupLength = [&](uint16_t group) {
        const DataElement* e = Find(output, group, 0x0000);
        return uint32_t(e->value[0] | e->value[1] << 8 | e->value[2] << 16 | e->value[3] << 24);
    };
    EXPECT_EQ(groupLength(0x0008), (8u + 2u) + (8u + 4u));
    // Group 0010 ends where group 0020 starts.
    EXPECT_EQ(groupLength(0x0010), (8u + 6u) + (12u + 2u));
    ElementList big;
    ASSERT_TRUE(ConvertDataset(big, output, pella::kExplicitBigEndian, pella::kExplicitLittleEndian));
    const DataElement* length = Find(big, 0x0010, 0x0000);
    EXPECT_EQ(Bytes(*length), (std::vector<uint8_t>{0, 0, 0, 28}));
}

TEST(ConvertDataset, DefinedLengthSequencesAndItemsAreReencoded) {
    // An implicit sequence holding one item with a US and a text element.
    ElementList itemContents;
    AddRaw(itemContents, 0x0018, 0x1310, "US", {0x05, 0x00});
    AddText(itemContents, 0x0008, 0x0100, "SH", "T-1");
    std::vector<uint8_t> itemValue = pella::SerializeList(itemContents, false, false);
    ElementList sequenceContents;
    AddRaw(sequenceContents, 0xFFFE, 0xE000, "DL", itemValue);
    std::vector<uint8_t> sequenceValue = pella::SerializeList(sequenceContents, false, false);
    ElementList input;
    AddRaw(input, 0x0008, 0x1110, "", sequenceValue);
    ElementList output;
    ASSERT_TRUE(ConvertDataset(output, input, pella::kExplicitBigEndian, pella::kImplicitLittleEndian));
    ASSERT_EQ(output.size(), 1u);
    EXPECT_STREQ(output[0].vr, "SQ");
    // Read back as explicit big endian, expanding nested levels.
    std::vector<uint8_t> bytes = pella::SerializeList(output, true, true);
    pella::ParseState state;
    state.metaMode = false;
    state.explicitVR = true;
    state.bigEndian = true;
    ElementList decoded;
    ASSERT_TRUE(pella::ReadDatasetBytes(bytes.data(), bytes.size(), state, decoded));
    pella::MemorySource sequence(decoded[0].value, decoded[0].length);
    pella::ElementPtr item = pella::ReadEncodedElement(sequence, true, true);
    ASSERT_TRUE(item);
    pella::MemorySource inner(item->value, item->length);
    pella::ElementPtr us = pella::ReadEncodedElement(inner, true, true);
    ASSERT_TRUE(us);
    EXPECT_STREQ(us->vr, "US");
    EXPECT_EQ(Bytes(*us), (std::vector<uint8_t>{0x00, 0x05}));
    pella::ElementPtr text = pella::ReadEncodedElement(inner, true, true);
    ASSERT_TRUE(text);
    EXPECT_STREQ(text->vr, "SH");
    EXPECT_EQ(inner.Remaining(), 0u);
    // A value that is not a run of elements fails with a reason.
    ElementList broken, out2;
    AddRaw(broken, 0x0008, 0x1110, "SQ", {0xFE, 0xFF, 0x00, 0xE0, 0x40, 0, 0, 0});
    EXPECT_FALSE(ConvertDataset(out2, broken, pella::kImplicitLittleEndian, pella::kExplicitLittleEndian));
    EXPECT_NE(pella::LastFailure().find("(0008,1110)"), std::string::npos);
}

TEST(EncodeElement, MirrorsReadEncodedElementAndWritesLongValuesAsUN) {
    std::vector<uint8_t> stream;
    auto us = NewElement(0x0028, 0x0010, 2, "\x01\x02", "US");
    std::string longText(70000, 'x');
    auto lo = NewElement(0x0008, 0x0070, static_cast<int32_t>(longText.size()), longText.data(), "LO");
    auto item = NewElement(0xFFFE, 0xE000, -1, nullptr, "DL");
    pella::EncodeElement(stream, *us, true, true);
    pella::EncodeElement(stream, *lo, true, true);
    pella::EncodeElement(stream, *item, true, true);
    EXPECT_EQ(std::vector<uint8_t>(stream.begin(), stream.begin() + 10),
              (std::vector<uint8_t>{0x00, 0x28, 0x00, 0x10, 'U', 'S', 0x00, 0x02, 0x01, 0x02}));
    EXPECT_EQ(stream[14], 'U');
    EXPECT_EQ(stream[15], 'N');
    EXPECT_EQ(stream.size(), 10u + 12u + 70000u + 8u);
    pella::MemorySource source(stream.data(), stream.size());
    auto a = pella::ReadEncodedElement(source, true, true);
    auto b = pella::ReadEncodedElement(source, true, true);
    auto c = pella::ReadEncodedElement(source, true, true);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(Bytes(*a), Bytes(*us));
    EXPECT_EQ(b->length, 70000);
    EXPECT_EQ(c->length, -1);
    EXPECT_EQ(c->value, nullptr);
    EXPECT_FALSE(pella::ReadEncodedElement(source, true, true));  // nothing left
    // A length beyond the stream is refused, not allocated.
    const uint8_t lying[] = {0x08, 0x00, 0x70, 0x00, 0xFF, 0xFF, 0xFF, 0x7F};
    pella::MemorySource liar(lying, sizeof lying);
    EXPECT_FALSE(pella::ReadEncodedElement(liar, false, false));
}

TEST(ConvertDataset, TwoNativeFramesBecomeOneEvenFragmentEachBehindAnOffsetTableUnderJpegLossless) {
    ElementList input = Image(16, 15, 8, 2, 16 * 15 * 2);
    ElementList output;
    ASSERT_TRUE(ConvertDataset(output, input, pella::kJpegLossless, pella::kExplicitLittleEndian));
    std::size_t p = IndexOf(output, 0x7FE0, 0x0010);
    ASSERT_EQ(output.size(), p + 5);
    EXPECT_EQ(output[p].length, -1);
    EXPECT_STREQ(output[p].vr, "OB");
    // A Basic Offset Table: where each frame's item starts, from the first one.
    EXPECT_EQ(output[p + 1].element, 0xE000);
    ASSERT_EQ(output[p + 1].length, 8);
    uint32_t offsets[2];
    std::memcpy(offsets, output[p + 1].value, 8);
    EXPECT_EQ(offsets[0], 0u);
    EXPECT_EQ(offsets[1], 8u + static_cast<uint32_t>(output[p + 2].length));
    for (std::size_t k = 0; k < 2; ++k) {
        const DataElement& item = output[p + 2 + k];
        EXPECT_EQ(item.element, 0xE000);
        ASSERT_GT(item.length, 0);
        EXPECT_EQ(item.length % 2, 0);
        std::vector<uint8_t> frame(16 * 15);
        ASSERT_TRUE(pella::JpegDecode8(item.value, item.length, {15, 16, 1}, frame.data(), frame.size()));
        EXPECT_EQ(frame, std::vector<uint8_t>(input.items.back()->value + k * frame.size(),
                                              input.items.back()->value + (k + 1) * frame.size()));
    }
    EXPECT_EQ(output[p + 4].element, 0xE0DD);
    // And back to native: the same bytes.
    ElementList native;
    ASSERT_TRUE(ConvertDataset(native, output, pella::kExplicitLittleEndian, pella::kJpegLossless));
    EXPECT_EQ(Bytes(*native.items.back()), Bytes(*input.items.back()));
}

TEST(ConvertDataset, SixteenBitImagesRoundTripThroughJpegLosslessAndBigEndian) {
    ElementList input = Image(8, 9, 16, 1, 8 * 9 * 2);
    ElementList jpeg, native, big, back;
    ASSERT_TRUE(ConvertDataset(jpeg, input, pella::kJpegLossless, pella::kExplicitLittleEndian));
    ASSERT_TRUE(ConvertDataset(big, jpeg, pella::kExplicitBigEndian, pella::kJpegLossless));
    // Big endian native samples: the bytes of each 16-bit sample reversed.
    const DataElement& bigPixels = *big.items.back();
    EXPECT_EQ(bigPixels.value[0], input.items.back()->value[1]);
    ASSERT_TRUE(ConvertDataset(back, big, pella::kExplicitLittleEndian, pella::kExplicitBigEndian));
    EXPECT_EQ(Bytes(*back.items.back()), Bytes(*input.items.back()));
}

TEST(ConvertDataset, NativePixelDataLengthRules) {
    ElementList oneLonger = Image(3, 3, 8, 1, 10), out1;
    EXPECT_TRUE(ConvertDataset(out1, oneLonger, pella::kImplicitLittleEndian, pella::kExplicitLittleEndian));
    EXPECT_EQ(out1.items.back()->length, 10);  // nine bytes, padded to even length
    // Between native syntaxes of one byte order the bytes are kept whatever the geometry says
    // (subsampled colour has fewer bytes than rows x columns x samples)...
    ElementList twoLonger = Image(3, 3, 8, 1, 11), out2, out2b;
    EXPECT_TRUE(ConvertDataset(out2, twoLonger, pella::kImplicitLittleEndian, pella::kExplicitLittleEndian));
    EXPECT_EQ(out2.items.back()->length, 12);
    // ...but pixels that must be coded need the geometry to hold.
    EXPECT_FALSE(ConvertDataset(out2b, twoLonger, pella::kJpegLossless, pella::kExplicitLittleEndian));
    EXPECT_NE(pella::LastFailure().find("announces 9"), std::string::npos) << pella::LastFailure();
    ElementList baseline16 = Image(4, 4, 16, 1, 32), out3;
    EXPECT_FALSE(ConvertDataset(out3, baseline16, pella::kJpegBaseline, pella::kExplicitLittleEndian));
    EXPECT_NE(pella::LastFailure().find("16 bits allocated"), std::string::npos);
    ElementList lossless32 = Image(2, 2, 32, 1, 16), out4;
    EXPECT_FALSE(ConvertDataset(out4, lossless32, pella::kJpegLossless, pella::kExplicitLittleEndian));
    EXPECT_NE(pella::LastFailure().find("32 bits allocated"), std::string::npos);
}

TEST(ConvertDataset, UnsupportedSyntaxesAreRefusedWithNothingAdded) {
    for (const char* source : {"1.2.3", "1.2.840.10008.1.2.4.100"}) {
        ElementList input = Image(2, 2, 8, 1, 4), output;
        EXPECT_FALSE(ConvertDataset(output, input, pella::kExplicitLittleEndian, source)) << source;
        EXPECT_TRUE(output.empty());
        EXPECT_NE(pella::LastFailure().find(source), std::string::npos);
    }
    ElementList input = Image(2, 2, 8, 1, 4), output;
    EXPECT_FALSE(ConvertDataset(output, input, "1.2.3", pella::kExplicitLittleEndian));
    EXPECT_TRUE(output.empty());
}

namespace {

// An encapsulated 8-bit image whose fragments are given.
ElementList Encapsulated(uint16_t rows, uint16_t columns, int frames,
                         const std::vector<std::vector<uint8_t>>& fragments) {
    ElementList list = Image(rows, columns, 8, frames, 2);
    list.items.pop_back();
    list.Append(NewElement(0x7FE0, 0x0010, -1, nullptr, "OB"));
    list.Append(NewElement(0xFFFE, 0xE000, 0, nullptr, "DL"));
    for (const auto& f : fragments) AddRaw(list, 0xFFFE, 0xE000, "DL", f);
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    return list;
}

std::vector<uint8_t> Frame8(uint16_t rows, uint16_t columns) {
    std::vector<uint8_t> pixels(std::size_t{rows} * columns, 0x40);
    return pella::JpegEncode8(pixels.data(), pixels.size(), {columns, rows, 1}, pella::JpegMode::Lossless);
}

}  // namespace

TEST(ConvertDataset, EncapsulatedPixelDataFailuresAreClear) {
    std::vector<uint8_t> frame = Frame8(8, 8);
    ElementList ok = Encapsulated(8, 8, 1, {frame}), out0;
    EXPECT_TRUE(ConvertDataset(out0, ok, pella::kExplicitLittleEndian, pella::kJpegLossless));

    // Two frames announced, three fragments, no offset table, and only the first fragment
    // starts a codestream: where the second frame starts is unknown.
    std::vector<uint8_t> head(frame.begin(), frame.begin() + 20), tail(frame.begin() + 20, frame.end());
    ElementList split = Encapsulated(8, 8, 2, {head, tail, tail}), out1;
    EXPECT_FALSE(ConvertDataset(out1, split, pella::kExplicitLittleEndian, pella::kJpegLossless));
    EXPECT_NE(pella::LastFailure().find("offset table"), std::string::npos) << pella::LastFailure();

    // Encapsulated pixel data under a native syntax.
    ElementList mislabelled = Encapsulated(8, 8, 1, {frame}), out2;
    EXPECT_FALSE(
        ConvertDataset(out2, mislabelled, pella::kImplicitLittleEndian, pella::kExplicitLittleEndian));
    EXPECT_NE(pella::LastFailure().find("cannot be decoded"), std::string::npos);

    // A geometry far beyond the compressed data fails before the pixel buffer is made.
    ElementList lying = Encapsulated(65535, 65535, 1, {frame}), out3;
    EXPECT_FALSE(ConvertDataset(out3, lying, pella::kExplicitLittleEndian, pella::kJpegLossless));
    EXPECT_NE(pella::LastFailure().find("announces"), std::string::npos) << pella::LastFailure();
    ElementList manyFrames = Encapsulated(8, 8, 1, {frame}), out4;
    manyFrames.items[3] = NewElement(0x0028, 0x0008, 10, "2000000000", "IS");
    EXPECT_FALSE(ConvertDataset(out4, manyFrames, pella::kExplicitLittleEndian, pella::kJpegLossless));

    // A frame whose stream disagrees with the geometry is refused by the decoder's size check.
    ElementList wrongSize = Encapsulated(8, 4, 1, {frame}), out5;
    EXPECT_FALSE(ConvertDataset(out5, wrongSize, pella::kExplicitLittleEndian, pella::kJpegLossless));
    EXPECT_NE(pella::LastFailure().find("frame 1"), std::string::npos);

    // Corrupt data.
    std::vector<uint8_t> corrupt = frame;
    corrupt.resize(corrupt.size() / 2);
    ElementList truncated = Encapsulated(8, 8, 1, {corrupt}), out6;
    EXPECT_FALSE(ConvertDataset(out6, truncated, pella::kExplicitLittleEndian, pella::kJpegLossless));
}

TEST(ConvertDataset, SameJpegSyntaxKeepsFragmentsAsTheyAre) {
    std::vector<uint8_t> frame = Frame8(8, 8);
    ElementList input = Encapsulated(8, 8, 1, {frame}), output;
    ASSERT_TRUE(ConvertDataset(output, input, pella::kJpegLossless, pella::kJpegLossless));
    ASSERT_EQ(output.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) EXPECT_EQ(Bytes(output[i]), Bytes(input[i]));
}
