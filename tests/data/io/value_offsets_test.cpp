// The value offsets the Part 10 reader and the sequence flattener report point at exactly the
// bytes of each value in the file (in the inflated data set of a deflated one), on every
// pydicom sample.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/io/dataset_reader.h"
#include "data/io/inflater.h"
#include "data/io/sequence_decoding.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::PydicomSamples;
using testing_support::ReadAll;

namespace {

// Every valued element of `list` stands at its offset in `file`; returns how many were checked.
int CheckOffsets(const std::string& name, const std::vector<uint8_t>& file, const ElementList& list,
                 const std::vector<uint64_t>& offsets) {
    EXPECT_EQ(offsets.size(), list.size()) << name;
    int checked = 0;
    for (std::size_t i = 0; i < list.size() && i < offsets.size(); ++i) {
        const DataElement& e = list[i];
        if (!HasValue(e)) continue;
        uint64_t end = offsets[i] + static_cast<uint64_t>(e.length);
        if (end > file.size()) {
            EXPECT_EQ(end, file.size() + 1) << name << " only the one-byte-short end is allowed";
            continue;
        }
        EXPECT_EQ(std::memcmp(file.data() + offsets[i], e.value, e.length), 0)
            << name << " element " << i << std::hex << " (" << e.group << "," << e.element << ")";
        ++checked;
    }
    return checked;
}

}  // namespace

TEST(ValueOffsets, PointAtEachValueInTheFileAlsoInsideDefinedLengthSequences) {
    int topLevel = 0;
    int nested = 0;
    for (const auto& path : PydicomSamples()) {
        const std::string name = path.string();
        ElementList meta;
        ElementList data;
        ParseState state;
        std::vector<uint64_t> offsets;
        if (!ReadPart10File(name, meta, data, state, &offsets)) continue;
        std::vector<uint8_t> file = ReadAll(name);
        // A deflated data set's offsets are positions in its inflated bytes.
        if (DataSetFront front; ReadDataSetFront(name, front) && front.deflated) {
            ByteVector inflated;
            std::string why;
            ASSERT_TRUE(
                InflateWhole(file.data() + front.tailOffset, front.tailLength, 1u << 30, inflated, why));
            file.assign(inflated.begin(), inflated.end());
        }
        topLevel += CheckOffsets(name, file, data, offsets);
        for (std::size_t i = 0; i < data.size(); ++i) {
            if (!VrIs(data[i].vr, "SQ") || !HasValue(data[i])) continue;
            ElementList flat;
            std::vector<uint64_t> flatOffsets;
            ParseState inner = state;
            inner.metaMode = false;
            if (!FlattenSequence(inner, data[i], flat, &flatOffsets, offsets[i])) continue;
            nested += CheckOffsets(name, file, flat, flatOffsets);
        }
    }
    EXPECT_GT(topLevel, 3000);
    EXPECT_GT(nested, 500);
}

// Reading with bulk values left in the file gives the same elements as the whole read on every
// sample (implicit, big endian, deflated, encapsulated): the same tags, VRs and values, except
// that each listed cut holds only the first bytes of its value and names its whole length.
TEST(BulkValueSkipping, KeepsEveryElementAndCutsOnlyLongBulkValues) {
    int cutValues = 0;
    for (const auto& path : PydicomSamples()) {
        const std::string name = path.string();
        ElementList meta, data, skimMeta, skimData;
        ParseState state, skimState;
        bool whole = ReadPart10File(name, meta, data, state);
        BulkValueSkipping skipping{64, {}};
        bool skimmed = ReadPart10FileSkippingBulk(name, skimMeta, skimData, skimState, skipping);
        ASSERT_EQ(whole, skimmed) << name;
        if (!whole) continue;
        ASSERT_EQ(data.size(), skimData.size()) << name;
        EXPECT_EQ(meta.size(), skimMeta.size()) << name;
        auto cut = skipping.cut.begin();
        for (std::size_t i = 0; i < data.size(); ++i) {
            const DataElement& a = data[i];
            const DataElement& b = skimData[i];
            ASSERT_TRUE(a.group == b.group && a.element == b.element && std::memcmp(a.vr, b.vr, 2) == 0)
                << name << " element " << i;
            bool isCut = cut != skipping.cut.end() && cut->index == i;
            int32_t kept = isCut ? 64 : a.length;
            if (isCut) {
                EXPECT_EQ(static_cast<int32_t>(cut->length), a.length) << name << " element " << i;
                EXPECT_GT(a.length, 64) << name;
                ++cut;
                ++cutValues;
            }
            ASSERT_EQ(b.length, kept) << name << " element " << i;
            if (HasValue(b)) {
                EXPECT_EQ(std::memcmp(a.value, b.value, static_cast<std::size_t>(kept)), 0) << name;
            }
        }
        EXPECT_TRUE(cut == skipping.cut.end()) << name << " lists a cut that is no element";
    }
    EXPECT_GT(cutValues, 50) << "the samples hold plenty of pixel data to leave unread";
}
