// Tags and paths named by text.
#include <gtest/gtest.h>

#include <string>

#include "data/edit/tag_path.h"

using pella::ParseTag;
using pella::ParseTagPath;
using pella::TagPath;

namespace {

TEST(TagPath, ParsesTheThreeTagForms) {
    const std::tuple<const char*, uint16_t, uint16_t> cases[] = {
        {"PatientName", 0x0010, 0x0010},
        {"0010,0020", 0x0010, 0x0020},
        {"(0008,0018)", 0x0008, 0x0018},
        {"(7fe0,0010)", 0x7FE0, 0x0010},
        {"SOPInstanceUID", 0x0008, 0x0018},
        {"StudyInstanceUID", 0x0020, 0x000D},
        {"ScheduledProcedureStepSequence", 0x0040, 0x0100},
        {"0009,1001", 0x0009, 0x1001},
    };
    for (const auto& [text, group, element] : cases) {
        uint16_t g = 0, e = 0;
        std::string error;
        ASSERT_TRUE(ParseTag(text, g, e, error)) << text << ": " << error;
        EXPECT_EQ(g, group) << text;
        EXPECT_EQ(e, element) << text;
    }
}

TEST(TagPath, ParsesPathsThroughItems) {
    TagPath path;
    std::string error;
    ASSERT_TRUE(ParseTagPath("(0040,0275)[0].(0040,0009)", path, error)) << error;
    ASSERT_EQ(path.steps.size(), 2u);
    EXPECT_EQ(path.steps[0].group, 0x0040);
    EXPECT_EQ(path.steps[0].element, 0x0275);
    EXPECT_EQ(path.steps[0].item, 0u);
    EXPECT_FALSE(path.steps[0].allItems);
    EXPECT_EQ(path.steps[1].element, 0x0009);

    ASSERT_TRUE(
        ParseTagPath("ReferencedSeriesSequence[*].ReferencedInstanceSequence[12].0008,1155", path, error));
    ASSERT_EQ(path.steps.size(), 3u);
    EXPECT_TRUE(path.steps[0].allItems);
    EXPECT_EQ(path.steps[1].item, 12u);
    EXPECT_EQ(path.steps[2].element, 0x1155);
}

TEST(TagPath, RefusesMalformedPaths) {
    std::string tooDeep;
    for (int i = 0; i < 65; ++i) tooDeep += "(0008,1115)[0].";
    tooDeep += "PatientName";
    const std::string cases[] = {
        "",
        "NoSuchKeyword",
        "0010,001",
        "(0010,0010",
        "0010;0010",
        "(0010,0010)[0]",
        "(0040,0275).(0040,0009)",
        "(0040,0275)[x].(0040,0009)",
        "(0040,0275)[-1].(0040,0009)",
        "(0040,0275)[0](0040,0009)",
        "(0040,0275)[99999999999].PatientID",
        "(0040,0275)[0].",
        "Patient Name",
        tooDeep,
    };
    for (const std::string& text : cases) {
        TagPath path;
        std::string error;
        EXPECT_FALSE(ParseTagPath(text, path, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace
