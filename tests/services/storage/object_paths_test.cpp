#include "services/storage/object_paths.h"

#include <gtest/gtest.h>

#include "support/data_set_builder.h"

namespace pella {
namespace {

using testing_support::AddText;

const char* const kHostileUids[] = {"../x",   "..",          ".",      "1..2",    "",
                                    "1.2/3",  "/etc/passwd", "/tmp/x", ".1.2",    "1.2.",
                                    "1.2.3a", "1.2 3",       "1\\2",   "1.2.3\n", "-1.2"};

TEST(ObjectPaths, JoinPathPutsOneSlashBetween) {
    EXPECT_EQ(JoinPath("store", "1.2"), "store/1.2");
    EXPECT_EQ(JoinPath("store/", "1.2"), "store/1.2");
    EXPECT_EQ(JoinPath("/", "1.2"), "/1.2");
    EXPECT_EQ(JoinPath("", "1.2"), "1.2");
}

TEST(ObjectPaths, ReceivedObjectPathIsStudySeriesInstance) {
    EXPECT_EQ(ReceivedObjectPath("/data/store", ObjectUids{"1.2.3", "1.2.3.4", "1.2.3.4.5"}),
              "/data/store/1.2.3/1.2.3.4/1.2.3.4.5.dcm");
    EXPECT_EQ(ReceivedObjectPath("./Database/", ObjectUids{"1.2.3", "1.2.3.4", "1.2.3.4.5"}),
              "./Database/1.2.3/1.2.3.4/1.2.3.4.5.dcm");
    EXPECT_EQ(SeriesFolderPath("db", ObjectUids{"1.2.3", "1.2.3.4", "1.2.3.4.5"}), "db/1.2.3/1.2.3.4");
}

TEST(ObjectPaths, UidsComeFromTheDataSetWithoutTheirPadding) {
    ElementList data;
    AddText(data, 0x0020, 0x000D, "UI", "1.2.3");  // padded with a zero byte
    AddText(data, 0x0020, 0x000E, "UI", "1.2.3.4");
    AddText(data, 0x0008, 0x0018, "UI", "1.2.3.4.5");  // padded with a zero byte
    EXPECT_EQ(ReceivedObjectPath("s", data), "s/1.2.3/1.2.3.4/1.2.3.4.5.dcm");
}

TEST(ObjectPaths, AnyInvalidUidOrAnEmptyFolderGivesNoPath) {
    for (const char* bad : kHostileUids) {
        EXPECT_FALSE(ReceivedObjectPath("s", ObjectUids{bad, "1.2", "1.2.3"})) << bad;
        EXPECT_FALSE(ReceivedObjectPath("s", ObjectUids{"1.2", bad, "1.2.3"})) << bad;
        EXPECT_FALSE(ReceivedObjectPath("s", ObjectUids{"1.2", "1.2.3", bad})) << bad;
    }
    EXPECT_FALSE(ReceivedObjectPath("", ObjectUids{"1.2", "1.2.3", "1.2.3.4"}));
    ElementList missingSeries;
    AddText(missingSeries, 0x0020, 0x000D, "UI", "1.2.3");
    AddText(missingSeries, 0x0008, 0x0018, "UI", "1.2.3.4.5");
    EXPECT_FALSE(ReceivedObjectPath("s", missingSeries));
}

}  // namespace
}  // namespace pella
