// ReadDataSetFront: the front read into memory and the tail as it stands in the file make up
// exactly the data set the whole-file reader reads, for every sample file; a tail that does not
// fit its file is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "data/io/byte_source.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "data/io/inflater.h"
#include "data/registry/transfer_syntaxes.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

std::vector<uint8_t> FileBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Encoded(const ElementList& list, const std::string& syntax) {
    ParseState state;
    ApplyTransferSyntax(state, syntax);
    return SerializeList(list, state.explicitVR, state.bigEndian);
}

}  // namespace

TEST(DataSetFront, FrontAndTailMakeTheWholeDataSet) {
    int compared = 0, withTail = 0, deflated = 0;
    for (const auto& path : PydicomSamples()) {
        const std::string file = path.string();
        ElementList whole;
        std::string syntax;
        if (!ReadDatasetAndSyntax(file, whole, syntax)) continue;
        DataSetFront front;
        if (!ReadDataSetFront(file, front)) continue;  // such files are sent whole
        SCOPED_TRACE(file);
        EXPECT_EQ(front.syntax, syntax);
        std::vector<uint8_t> bytes = FileBytes(file);
        ASSERT_EQ(front.tailOffset + front.tailLength, bytes.size());
        if (front.deflated) {
            // The tail is the whole deflated data set, sent as it stands; the front was read from it.
            ByteVector inflated;
            std::string why;
            ASSERT_TRUE(
                InflateWhole(bytes.data() + front.tailOffset, front.tailLength, 1u << 30, inflated, why));
            std::vector<uint8_t> plain = Encoded(whole, kExplicitLittleEndian);
            EXPECT_TRUE(std::equal(plain.begin(), plain.end(), inflated.begin(), inflated.end()));
            ++deflated;
            continue;
        }
        std::vector<uint8_t> sent = Encoded(front.elements, syntax);
        sent.insert(sent.end(), bytes.begin() + static_cast<long>(front.tailOffset), bytes.end());
        EXPECT_EQ(sent, Encoded(whole, syntax));
        ++compared;
        if (front.tailLength > 0) ++withTail;
    }
    // Most samples are images whose pixel data stays in the file.
    EXPECT_GE(compared, 40);
    EXPECT_GE(withTail, 30);
    EXPECT_EQ(deflated, 1);  // image_dfl.dcm
}

TEST(DataSetFront, TailThatDoesNotFitTheFileIsRefused) {
    TempDir dir;
    std::vector<uint8_t> bytes = FileBytes(PydicomFile("CT_small.dcm"));
    DataSetFront front;
    ASSERT_TRUE(ReadDataSetFront(PydicomFile("CT_small.dcm"), front));
    ASSERT_GT(front.tailLength, 100u);
    // Cut inside the pixel data's value, and inside a header after it.
    for (uint64_t keep : {front.tailOffset + 100, bytes.size() - 1}) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(keep));
        std::string file = dir.Write("cut-" + std::to_string(keep) + ".dcm", cut);
        EXPECT_FALSE(ReadDataSetFront(file, front)) << keep;
    }
    std::vector<uint8_t> extra = bytes;
    extra.insert(extra.end(), {0xE0, 0x7F, 0x10});  // three bytes of another header
    EXPECT_FALSE(ReadDataSetFront(dir.Write("extra.dcm", extra), front));
}
