// The image box reference read from a film box response: both encodings of the sequence, and
// hostile values that must fail the step instead of being read past.
#include "services/print/film_box_response.h"

#include <gtest/gtest.h>

#include "data/io/dataset_reader.h"
#include "support/print_bytes.h"

using namespace testing_support;

namespace {

const std::string kClass = "1.2.840.10008.5.1.1.4";
const std::string kInstance = "1.2.276.0.7230010.3.1.4.1.2345";

struct Outcome {
    bool ok = false;
    pella::ImageBoxReference reference;
    std::string reason;
};

Outcome Walk(const Bytes& dataSet) {
    pella::ParseState state;
    pella::ApplyTransferSyntax(state, kImplicitLE);
    state.metaMode = false;
    ElementList list;
    Outcome out;
    if (!pella::ReadDatasetBytes(dataSet.data(), dataSet.size(), state, list)) {
        out.reason = "the test's data set does not decode";
        return out;
    }
    out.ok = pella::FindImageBoxReference(list, kImplicitLE, out.reference, out.reason);
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// An undefined-length sequence of one undefined-length item holding `item`.
Bytes FlatSequence(uint16_t group, uint16_t element, const Bytes& item) {
    DicomBytes b;
    b.TagLength(group, element, 0xFFFFFFFF).TagLength(0xFFFE, 0xE000, 0xFFFFFFFF).Raw(item);
    b.TagLength(0xFFFE, 0xE00D, 0).TagLength(0xFFFE, 0xE0DD, 0);
    return b.Bytes();
}

}  // namespace

TEST(FilmBoxResponse, ReadsTheFirstImageBoxInEveryEncoding) {
    const Bytes item = ImageBoxItem(kClass, kInstance);
    DicomBytes groupLengthFirst;
    groupLengthFirst.Implicit(0x0008, 0x0000, std::string("\x2A\0\0\0", 4)).Raw(item);
    DicomBytes definedItemInFlat;
    definedItemInFlat.TagLength(0x2010, 0x0510, 0xFFFFFFFF)
        .TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(item.size()))
        .Raw(item)
        .TagLength(0xFFFE, 0xE0DD, 0);
    DicomBytes flatItemInDefined;
    flatItemInDefined.TagLength(0x2010, 0x0510, static_cast<uint32_t>(item.size() + 24))
        .TagLength(0xFFFE, 0xE000, 0xFFFFFFFF)
        .Raw(item)
        .TagLength(0xFFFE, 0xE00D, 0)
        .TagLength(0xFFFE, 0xE0DD, 0);
    DicomBytes twoItems;
    Bytes second = ImageBoxItem(kClass, "1.2.3.9");
    twoItems.TagLength(0x2010, 0x0510, static_cast<uint32_t>(item.size() + second.size() + 16))
        .TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(item.size()))
        .Raw(item)
        .TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(second.size()))
        .Raw(second);
    // The item holds a nested sequence whose own item carries other UIDs first.
    Bytes nestedFirst = Join({FlatSequence(0x0008, 0x1140, ImageBoxItem("1.2.3", "1.2.3.4")), item});
    struct Case {
        const char* name;
        Bytes dataSet;
    };
    const Case cases[] = {
        {"defined lengths", DefinedReference(item)},
        {"defined lengths, group length first", DefinedReference(groupLengthFirst.Bytes())},
        {"undefined lengths", FlatReference(item)},
        {"defined item in an undefined sequence", definedItemInFlat.Bytes()},
        {"undefined item in a defined sequence", flatItemInDefined.Bytes()},
        {"two items: the first counts", twoItems.Bytes()},
        {"nested sequence in the item", DefinedReference(nestedFirst)},
        {"nested sequence in the flat item", FlatReference(nestedFirst)},
        {"UIDs of 64 characters", DefinedReference(ImageBoxItem(kClass, std::string(63, '1') + "2"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome out = Walk(c.dataSet);
        ASSERT_TRUE(out.ok) << out.reason;
        EXPECT_EQ(out.reference.sopClass, kClass);
        EXPECT_EQ(out.reference.sopInstance,
                  std::string(c.name) == "UIDs of 64 characters" ? std::string(63, '1') + "2" : kInstance);
    }
}

TEST(FilmBoxResponse, RefusesValuesItCannotReadSafely) {
    const Bytes item = ImageBoxItem(kClass, kInstance);
    // The item claims 4 bytes more than the sequence holds.
    DicomBytes itemTooLong;
    itemTooLong.TagLength(0x2010, 0x0510, static_cast<uint32_t>(item.size() + 8))
        .TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(item.size() + 4))
        .Raw(item);
    // Lengths agree, but the item ends inside its second element.
    Bytes cut(item.begin(), item.end() - 3);
    // Lengths agree, but the item ends inside an element header.
    Bytes cutHeader(item.begin(), item.begin() + static_cast<long>(8 + PaddedUid(kClass).size() + 5));
    // The sequence's value is shorter than an item header.
    DicomBytes shortSequence;
    shortSequence.TagLength(0x2010, 0x0510, 4).U32(0xE000FFFE);
    struct Case {
        const char* name;
        Bytes dataSet;
        const char* says;
    };
    const Case cases[] = {
        {"item longer than its sequence", itemTooLong.Bytes(), "does not hold whole elements"},
        {"value cut inside an element", DefinedReference(cut), "does not hold whole elements"},
        {"value cut inside a header", DefinedReference(cutHeader), "does not hold whole elements"},
        {"sequence shorter than an item header", shortSequence.Bytes(), "does not hold whole elements"},
        {"instance UID of 65 characters", DefinedReference(ImageBoxItem(kClass, std::string(65, '1'))),
         "Referenced SOP Instance UID of 66 bytes is not a valid UID"},
        {"class UID of 80 characters, flat", FlatReference(ImageBoxItem(std::string(80, '2'), kInstance)),
         "Referenced SOP Class UID of 80 bytes is not a valid UID"},
        {"UID with a zero byte inside", DefinedReference(ImageBoxItem(kClass, std::string("1.2\0.3", 6))),
         "Referenced SOP Instance UID of 6 bytes is not a valid UID"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome out = Walk(c.dataSet);
        EXPECT_FALSE(out.ok);
        EXPECT_NE(out.reason.find(c.says), std::string::npos) << out.reason;
    }
}

// Only the response's own sequence counts: references elsewhere leave the reference empty (and
// the image box step then fails), as does a response without one.
TEST(FilmBoxResponse, TakesOnlyTheResponsesOwnSequence) {
    const Bytes item = ImageBoxItem(kClass, kInstance);
    DicomBytes topLevelUids;
    topLevelUids.Raw(item);
    const Bytes cases[] = {
        {},
        topLevelUids.Bytes(),
        FlatSequence(0x0008, 0x1140, FlatReference(item)),
        DefinedReference({}),
        Join({FlatSequence(0x2010, 0x0510, {}),
              DicomBytes().Implicit(0x0008, 0x1155, PaddedUid(kInstance)).Bytes()}),
    };
    int n = 0;
    for (const Bytes& dataSet : cases) {
        SCOPED_TRACE(n++);
        Outcome out = Walk(dataSet);
        ASSERT_TRUE(out.ok) << out.reason;
        EXPECT_TRUE(out.reference.sopClass.empty());
        EXPECT_TRUE(out.reference.sopInstance.empty());
    }
}
