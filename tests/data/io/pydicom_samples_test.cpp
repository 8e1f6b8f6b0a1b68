// Real files written by other systems: every pydicom sample is read or refused cleanly, and
// the top-level tags of each file that reads match what DCMTK's dcmdump finds in it.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "data/io/dataset_reader.h"
#include "support/run_command.h"
#include "support/sample_files.h"

using namespace pella;
using namespace testing_support;

namespace {

using TagList = std::vector<uint32_t>;

uint32_t Tag(const DataElement& e) {
    return (uint32_t{e.group} << 16) | e.element;
}

// Top-level tags of a flat list: contents of undefined-length sequences, items and
// encapsulated pixel data are skipped, and so are the delimiters.
TagList TopLevelTags(const ElementList& list) {
    TagList tags;
    int depth = 0;
    for (const auto& e : list) {
        if (e->group == 0xFFFE) {
            if (e->element == 0xE000 && e->length == -1) ++depth;
            if ((e->element == 0xE00D || e->element == 0xE0DD) && depth > 0) --depth;
            continue;
        }
        if (depth == 0) tags.push_back(Tag(*e));
        if (e->length == -1) ++depth;
    }
    return tags;
}

// Tags that dcmdump prints without indentation, items and delimiters left out.
TagList DcmdumpTopLevelTags(const std::string& file, int& exitCode) {
    std::string out = RunCommand("dcmdump -q " + Quote(file) + " 2>/dev/null", &exitCode);
    TagList tags;
    std::istringstream lines(out);
    std::string line;
    auto isHex = [](const std::string& s) {
        return s.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    };
    while (std::getline(lines, line)) {
        // "(gggg,eeee)" at the start of the line, not indented
        if (line.size() < 11 || line[0] != '(' || line[5] != ',' || line[10] != ')') continue;
        std::string group = line.substr(1, 4), element = line.substr(6, 4);
        if (!isHex(group) || !isHex(element)) continue;
        uint32_t tag = static_cast<uint32_t>(std::stoul(group + element, nullptr, 16));
        if ((tag >> 16) == 0xFFFE) continue;
        tags.push_back(tag);
    }
    return tags;
}

std::string TagText(uint32_t tag) {
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", tag >> 16, tag & 0xFFFF);
    return text;
}

// Files the reader refuses on purpose, with the reason.
const std::map<std::string, std::string> kRefused = {
    {"ExplVR_BigEndNoMeta.dcm", "bare data set: no preamble and no \"DICM\""},
    {"ExplVR_LitEndNoMeta.dcm", "bare data set: no preamble and no \"DICM\""},
    {"no_meta.dcm", "bare data set: no preamble and no \"DICM\""},
    {"rtstruct.dcm", "bare data set: no preamble and no \"DICM\""},
    {"SC_rgb_jpeg.dcm", "its data set does not match its transfer syntax (dcmdump fails too)"},
    {"rtplan_truncated.dcm", "the last value is cut short by more than one byte"},
    {"MR_truncated.dcm", "the pixel data is cut short by more than one byte"},
};

}  // namespace

TEST(PydicomSamples, EveryFileIsReadOrRefusedAndTopLevelTagsMatchDcmdump) {
    auto files = PydicomSamples();
    ASSERT_GT(files.size(), 50u) << "pydicom's sample files are missing: " << PydicomTestFiles();
    int read = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        std::string name = path.filename().string();
        ElementList meta, data;
        ParseState state;
        bool ok = ReadPart10File(path.string(), meta, data, state);
        auto refused = kRefused.find(name);
        if (refused != kRefused.end()) {
            EXPECT_FALSE(ok) << "expected refusal: " << refused->second;
            continue;
        }
        EXPECT_TRUE(ok) << "a real file was refused";
        if (!ok) continue;
        ++read;

        TagList ours = TopLevelTags(meta);
        TagList dataTags = TopLevelTags(data);
        ours.insert(ours.end(), dataTags.begin(), dataTags.end());
        int exitCode = 0;
        TagList theirs = DcmdumpTopLevelTags(path.string(), exitCode);
        EXPECT_FALSE(theirs.empty()) << "dcmdump printed no tags (exit " << exitCode << ")";
        std::size_t n = std::min(ours.size(), theirs.size());
        std::size_t firstDifference = n;
        for (std::size_t i = 0; i < n && firstDifference == n; ++i)
            if (ours[i] != theirs[i]) firstDifference = i;
        EXPECT_EQ(firstDifference, n)
            << "first difference at top-level position " << firstDifference << ": ours "
            << TagText(ours[firstDifference]) << ", dcmdump " << TagText(theirs[firstDifference]);
        EXPECT_EQ(ours.size(), theirs.size());
    }
    EXPECT_GT(read, 50);
}
