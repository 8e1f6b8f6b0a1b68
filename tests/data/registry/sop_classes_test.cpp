#include "data/registry/sop_classes.h"

#include <gtest/gtest.h>

#include "data/io/dataset_reader.h"
#include "support/sample_files.h"

namespace pella {
namespace {

TEST(NonImageSopClass, WaveformsPresentationStatesReportsAndRtObjectsAreMembers) {
    for (const char* uid : {"1.2.840.10008.5.1.4.1.1.9.1.1", "1.2.840.10008.5.1.4.1.1.9.4.1",
                            "1.2.840.10008.5.1.4.1.1.11.1", "1.2.840.10008.5.1.4.1.1.88.11",
                            "1.2.840.10008.5.1.4.1.1.104.1", "1.2.840.10008.5.1.4.1.1.481.7",
                            "1.2.840.10008.5.1.1.27", "1.2.840.10008.5.1.4.1.1.9",
                            "1.2.840.10008.5.1.4.1.1.77.1.5.3"})
        EXPECT_TRUE(IsNonImageSopClass(uid)) << uid;
}

TEST(NonImageSopClass, ImageClassesAndNearMissesAreNot) {
    for (const char* uid : {"1.2.840.10008.5.1.4.1.1.2",        // CT Image
                            "1.2.840.10008.5.1.4.1.1.4",        // MR Image
                            "1.2.840.10008.5.1.4.1.1.7",        // Secondary Capture
                            "1.2.840.10008.5.1.4.1.1.481.1",    // RT Image: has pixel data
                            "1.2.840.10008.5.1.4.1.1.88",       // a prefix of the SR classes
                            "1.2.840.10008.5.1.4.1.1.88.111",   // a longer UID
                            "1.2.840.10008.5.1.4.1.1.88.11 ",   // trailing padding
                            "1.2.840.10008.5.1.4.1.1.9.1.10", ""})
        EXPECT_FALSE(IsNonImageSopClass(uid)) << "'" << uid << "'";
}

// SOP classes of files written by other systems, as our own reader finds them.
TEST(NonImageSopClass, PydicomSamplesAreClassifiedByTheirOwnSopClass) {
    const std::pair<const char*, bool> samples[] = {
        {"CT_small.dcm", false}, {"MR_small.dcm", false}, {"rtplan.dcm", true}, {"rtdose.dcm", true}};
    for (const auto& [name, nonImage] : samples) {
        ElementList data;
        std::string syntax;
        ASSERT_TRUE(ReadDatasetAndSyntax((testing_support::PydicomTestFiles() / name).string(), data, syntax))
            << name;
        EXPECT_EQ(IsNonImageSopClass(GetElementText(data, 0x0008, 0x0016)), nonImage) << name;
    }
}

}  // namespace
}  // namespace pella
