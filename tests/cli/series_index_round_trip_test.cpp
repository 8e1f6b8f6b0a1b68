// The image index through real peers: storescu files objects whose values hold the field
// separator into pella serve, and pella send-series of the filed series delivers every object
// to storescp; an index line naming no file is skipped and reported, the rest still goes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "services/storage/index_lines.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/storescp_run.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

CommandResult Pella(std::vector<std::string> args) {
    args.insert(args.begin(), PELLA_CLI_PATH);
    return RunCommand(args, true);
}

// The one series folder below a database root (study folder, then series folder).
fs::path OnlySeriesFolder(const fs::path& root) {
    for (const auto& study : fs::directory_iterator(root)) {
        if (!study.is_directory() || study.path().filename().string()[0] == '.') continue;
        for (const auto& series : fs::directory_iterator(study.path()))
            if (series.is_directory()) return series.path();
    }
    return {};
}

}  // namespace

TEST(SeriesIndexRoundTrip, ValuesHoldingCommasAndLineBreaksKeepTheirFieldsAndEveryObjectIsSent) {
    TempDir dir;
    // Three objects of one series: Acquisition Numbers "1,2", a plain "7" and a Series
    // Description with a line break (series line) beside an Image Type with a comma.
    struct Object {
        const char* acquisition;
        std::string extra;  // a further dcmodify -i argument, or empty
    } objects[] = {{"1,2", ""}, {"7", ""}, {"3", "(0008,103E)=first\r\nsecond,third"}};
    std::vector<std::string> files, uids;
    for (std::size_t i = 0; i < std::size(objects); ++i) {
        std::string file = dir.File("ct" + std::to_string(i) + ".dcm");
        ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm", file));
        std::vector<std::string> modify = {"dcmodify", "-nb", "-i",
                                           std::string("(0020,0012)=") + objects[i].acquisition};
        if (!objects[i].extra.empty()) modify.insert(modify.end(), {"-i", objects[i].extra});
        modify.push_back(file);
        ASSERT_EQ(RunCommand(modify, true).exitCode, 0);
        files.push_back(file);
        uids.push_back(InstanceUid(file));
    }

    ServeProcess serve(dir.File("db"));
    ASSERT_TRUE(serve.started);
    std::vector<std::string> storescu = {"storescu", "127.0.0.1", std::to_string(serve.port)};
    storescu.insert(storescu.end(), files.begin(), files.end());
    CommandResult sent = RunCommand(storescu, true);
    ASSERT_EQ(sent.exitCode, 0) << sent.out;
    serve.process.Stop();

    fs::path series = OnlySeriesFolder(dir.File("db"));
    ASSERT_FALSE(series.empty());
    std::vector<std::string> lines = ReadIndexLines((series / kImageIndexName).string());
    ASSERT_EQ(lines.size(), std::size(objects));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(IndexLineField(lines[i], 1), objects[i].acquisition) << lines[i];
        EXPECT_EQ(IndexLineField(lines[i], 3), uids[i]) << lines[i];
        EXPECT_EQ(ImageLineSopInstance(lines[i]), uids[i]) << lines[i];
        EXPECT_EQ(IndexLineField(lines[i], 9), "1.2.840.10008.5.1.4.1.1.2") << lines[i];
    }
    std::vector<std::string> seriesLines = ReadIndexLines((series.parent_path() / kSeriesIndexName).string());
    ASSERT_EQ(seriesLines.size(), 1u);  // the first object's series line
    EXPECT_EQ(IndexLineField(seriesLines[0], 2), series.filename().string());

    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    CommandResult result = Pella({"send-series", "127.0.0.1", peer.Port(), series.string(), "--no-progress"});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    for (const std::string& uid : uids) {
        CommandResult compared = peer.Compare((series / (uid + ".dcm")).string());
        EXPECT_EQ(compared.exitCode, 0) << uid << "\n" << compared.out;
    }
}

TEST(SeriesIndexRoundTrip, LinesNamingNoFileAreSkippedAndReportedAndTheRestIsSent) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    fs::path folder = peer.Dir().File("series");
    fs::create_directories(folder);
    std::vector<std::string> uids;
    for (int i = 0; i < 2; ++i) {
        std::string file = (folder / ("in" + std::to_string(i) + ".dcm")).string();
        ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm", file));
        uids.push_back(InstanceUid(file));
        fs::rename(file, folder / (uids.back() + ".dcm"));
    }
    // An old line whose unescaped comma shifted its fields (it names "2"), one naming nothing
    // inside the folder, then the two objects.
    std::ofstream(folder / kImageIndexName, std::ios::binary) << "1,2,4,2.25.1,20240101\r\n"
                                                              << "1,5,../outside\x01,x\r\n"
                                                              << "1,1," << uids[0] << ",20240101\r\n"
                                                              << "1,2," << uids[1] << ",20240101\r\n";
    CommandResult result = Pella({"send-series", "127.0.0.1", peer.Port(), folder.string(), "--no-progress"});
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_NE(result.out.find("file not found"), std::string::npos) << result.out;
    std::string skipped =
        "Image.dir line 2: index line skipped: index line names no file inside the "
        "series folder: \"1,5,../outside?,x\"";
    EXPECT_NE(result.out.find(skipped), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("FAILED: 2 of 4 objects NOT stored"), std::string::npos) << result.out;
    for (const std::string& uid : uids) {
        CommandResult compared = peer.Compare((folder / (uid + ".dcm")).string());
        EXPECT_EQ(compared.exitCode, 0) << uid << "\n" << compared.out;
    }
}
