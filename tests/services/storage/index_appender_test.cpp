#include "services/storage/index_appender.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "services/storage/index_lines.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadText;
using testing_support::TempDir;

// Whatever happens to an index file held open between two lines, the second line goes to the
// file that carries the name (or the append fails, and the next one tries afresh).
TEST(IndexAppender, ALineGoesToTheFileThatCarriesTheNameWhateverHappenedToIt) {
    struct Case {
        const char* what;
        std::function<void(const std::string& index)> meanwhile;
        std::string expected;  // the file's text after the second line
        bool secondAppended;
    } cases[] = {
        {"nothing", [](const std::string&) {}, "one\r\ntwo\r\n", true},
        {"removed", [](const std::string& index) { fs::remove(index); }, "two\r\n", true},
        {"replaced by a rename",
         [](const std::string& index) {
             std::ofstream(index + ".new", std::ios::binary) << "other\r\n";
             fs::rename(index + ".new", index);
         },
         "other\r\ntwo\r\n", true},
        {"rewritten by ReplaceImageLine",
         [](const std::string& index) { ASSERT_TRUE(ReplaceImageLine(index, "a,b,1.2.3\r\n")); },
         "one\r\na,b,1.2.3\r\ntwo\r\n", true},
        {"removed and a folder put in its place",
         [](const std::string& index) {
             fs::remove(index);
             fs::create_directory(index);
         },
         "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir temp;
        const std::string index = temp.File("Image.dir");
        IndexAppender appender;
        ASSERT_TRUE(appender.Append(index, "one\r\n"));
        c.meanwhile(index);
        EXPECT_EQ(appender.Append(index, "two\r\n"), c.secondAppended);
        if (c.secondAppended) {
            EXPECT_EQ(ReadText(index), c.expected);
            EXPECT_TRUE(appender.Append(index, "three\r\n"));
            EXPECT_EQ(ReadText(index), c.expected + "three\r\n");
        } else {
            fs::remove(index);
            EXPECT_TRUE(appender.Append(index, "three\r\n")) << "a failure does not stick";
            EXPECT_EQ(ReadText(index), "three\r\n");
        }
    }
}

TEST(IndexAppender, HoldsABoundedNumberOfFilesOpenAndLosesNoLine) {
    TempDir temp;
    IndexAppender appender;
    constexpr int kFiles = static_cast<int>(IndexAppender::kMaxOpenFiles) * 2 + 3;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < kFiles; ++i) {
            ASSERT_TRUE(
                appender.Append(temp.File("index" + std::to_string(i)), "r" + std::to_string(round) + "\n"));
            EXPECT_LE(appender.OpenFiles(), IndexAppender::kMaxOpenFiles);
        }
    }
    for (int i = 0; i < kFiles; ++i)
        EXPECT_EQ(ReadText(temp.File("index" + std::to_string(i))), "r0\nr1\nr2\n");
    appender.CloseAll();
    EXPECT_EQ(appender.OpenFiles(), 0u);
}

}  // namespace
}  // namespace pella
