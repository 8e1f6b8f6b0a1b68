// Printing on DCMTK's print server (dcmprscp), started by the test on a free port with a
// grayscale printer of its own configuration: each file prints, and the image box the server
// stores holds exactly the page `pella render` writes for the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "imaging/image_variants.h"
#include "support/loopback_listener.h"
#include "support/peer_process.h"
#include "support/png_pixels.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// A grayscale printer offering what a print front end lets a user choose.
std::string PrinterConfig(const TempDir& dir, int port) {
    return "[[GENERAL]]\n[DATABASE]\nDirectory = " + dir.File("db") +
           "\n[PRINT]\nDirectory = " + dir.File("spool") +
           "\nDetailedLog = false\nBinaryLog = false\n"
           "[[COMMUNICATION]]\n[PRINTER1]\nType = LOCALPRINTER\nAetitle = PRINTSCP\n"
           "Description = test printer\nHostname = localhost\nPort = " +
           std::to_string(port) +
           "\nDisplayFormat = 1,1\\1,2\\2,2\\2,3\\3,3\\3,4\\3,5\\4,4\\4,5\n"
           "FilmDestination = MAGAZINE\\PROCESSOR\\BIN_1\\BIN_2\\BIN_3\n"
           "FilmSizeID = 14INX17IN\\14INX14IN\\10INX12IN\\8INX10IN\n"
           "MagnificationType = REPLICATE\\BILINEAR\\CUBIC\\NONE\n"
           "MediumType = PAPER\\CLEAR FILM\\BLUE FILM\n"
           "BorderDensity = BLACK\\WHITE\\150\nEmptyImageDensity = BLACK\\WHITE\\150\n"
           "MaxDensity = 320\nMinDensity = 20\nMaxPDU = 16384\nImplicitOnly = false\n"
           "Supports12Bit = true\nSupportsPresentationLUT = false\n";
}

class Dcmprscp {
public:
    explicit Dcmprscp(const TempDir& dir) : dir_(dir) {}

    bool Start() {
        fs::create_directories(dir_.File("db"));
        fs::create_directories(dir_.File("spool"));
        port_ = FreePort();
        std::ofstream(dir_.File("printer.cfg")) << PrinterConfig(dir_, port_);
        return process_.Start({"dcmprscp", "-c", dir_.File("printer.cfg")}, dir_.File("dcmprscp.log")) &&
               WaitForListener(port_);
    }
    std::string Port() const { return std::to_string(port_); }

    // The Hardcopy Grayscale Image objects (HG_*.dcm) in the server's database.
    std::set<std::string> StoredImageBoxes() const {
        std::set<std::string> files;
        for (const auto& entry : fs::directory_iterator(dir_.File("db")))
            if (entry.path().filename().string().rfind("HG_", 0) == 0) files.insert(entry.path().string());
        return files;
    }
    std::set<std::string> StoredPrints() const {
        std::set<std::string> files;
        for (const auto& entry : fs::directory_iterator(dir_.File("db")))
            if (entry.path().filename().string().rfind("SP_", 0) == 0) files.insert(entry.path().string());
        return files;
    }

private:
    const TempDir& dir_;
    PeerProcess process_;
    int port_ = 0;
};

// What is in `after` and not in `before`: the objects one print added.
std::vector<std::string> Added(const std::set<std::string>& before, const std::set<std::string>& after) {
    std::vector<std::string> added;
    for (const std::string& f : after)
        if (!before.count(f)) added.push_back(f);
    return added;
}

// The stored image box's rows, columns, photometric interpretation and pixel bytes, as pydicom
// reads them.
std::string PydicomImageBox(const TempDir& dir, const std::string& file, std::vector<uint8_t>& pixels) {
    std::string raw = dir.File("box.raw");
    std::string line = RunCommand(
        "/usr/bin/python3 -c \"import sys,pydicom; d=pydicom.dcmread(sys.argv[1]); "
        "open(sys.argv[2],'wb').write(d.PixelData[:d.Rows*d.Columns]); "
        "print(d.Rows, d.Columns, d.PhotometricInterpretation, d.BitsStored)\" " +
        Quote(file) + " " + Quote(raw));
    pixels = ReadAll(raw);
    return line;
}

// The print's attributes the server stored, as dcmdump shows them.
std::string StoredPrintDump(const std::string& file) {
    return RunCommand("dcmdump " + Quote(file));
}

}  // namespace

TEST(PrintDcmprscp, EveryKindOfImagePrintsAsItsRenderedPage) {
    TempDir dir;
    Dcmprscp printer(dir);
    ASSERT_TRUE(printer.Start());
    std::string ct = PydicomFile("CT_small.dcm");
    ASSERT_TRUE(RunTool("dcmj2pnm +obt " + Quote(ct) + " " + Quote(dir.File("ct.bmp"))));
    ASSERT_TRUE(RunTool("dcmj2pnm +oj +Jq 90 " + Quote(ct) + " " + Quote(dir.File("ct.jpg"))));
    const std::vector<std::string> files = {
        ct,
        PydicomFile("MR_small.dcm"),
        MakeVariant(dir, "eight-bit", ct),
        PydicomFile("SC_rgb_small_odd.dcm"),
        PydicomFile("SC_rgb_dcmtk_+eb+cr.dcm"),  // JPEG baseline, colour
        dir.File("ct.jpg"),
        dir.File("ct.bmp"),
        MakeVariant(dir, "monochrome1", ct),
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        std::set<std::string> before = printer.StoredImageBoxes();
        std::set<std::string> printsBefore = printer.StoredPrints();
        CommandResult run = RunCommand(
            {PELLA_CLI_PATH, "print",           "-aec",  "PRINTSCP",         "localhost", printer.Port(),
             file,           "--copies",        "1",     "--priority",       "MED",       "--medium",
             "BLUE FILM",    "--destination",   "BIN_2", "--orientation",    "LANDSCAPE", "--film-size",
             "10INX12IN",    "--magnification", "CUBIC", "--border-density", "WHITE",     "--empty-density",
             "150",          "--min-density",   "25",    "--max-density",    "290"},
            true);
        ASSERT_EQ(run.exitCode, 0) << run.out;
        EXPECT_NE(run.out.find("FilmBox Delete: OK!"), std::string::npos) << run.out;
        std::vector<std::string> boxes = Added(before, printer.StoredImageBoxes());
        ASSERT_EQ(boxes.size(), 1u);

        ASSERT_TRUE(
            RunTool(Quote(PELLA_CLI_PATH) + " render " + Quote(file) + " " + Quote(dir.File("page.png"))));
        PngPixels page = ReadPng(dir.File("page.png"));
        ASSERT_TRUE(page.ok);
        std::vector<uint8_t> stored;
        std::string described = PydicomImageBox(dir, boxes[0], stored);
        EXPECT_EQ(described,
                  std::to_string(page.height) + " " + std::to_string(page.width) + " MONOCHROME2 8\n");
        EXPECT_EQ(stored, page.samples);

        std::vector<std::string> prints = Added(printsBefore, printer.StoredPrints());
        ASSERT_EQ(prints.size(), 1u);
        std::string dump = StoredPrintDump(prints[0]);
        // No --format: the one-image default, which the printer requires.
        for (const char* expected : {"[STANDARD\\1,1]", "(2010,0120) US 25 ", "(2010,0130) US 290 ",
                                     "[LANDSCAPE]", "[10INX12IN]", "[CUBIC]", "[WHITE]"})
            EXPECT_NE(dump.find(expected), std::string::npos) << expected << "\n" << dump;
    }
}

// Densities that are not numbers 0-65535 fail before any association: the printer never
// hears of the call.
TEST(PrintDcmprscp, BadDensitiesFailBeforeTheAssociation) {
    TempDir dir;
    Dcmprscp printer(dir);
    ASSERT_TRUE(printer.Start());
    for (const char* density : {"20.5", "-1", "65536", "BLACK", " 20"}) {
        SCOPED_TRACE(density);
        CommandResult run =
            RunCommand({PELLA_CLI_PATH, "print", "localhost", printer.Port(), PydicomFile("CT_small.dcm"),
                        "-aec", "PRINTSCP", "--max-density", density},
                       true);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.out.find("Max Density '" + std::string(density) + "' is not a number"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(run.out.find("Connected to"), std::string::npos) << run.out;
    }
    EXPECT_TRUE(printer.StoredPrints().empty());
}
