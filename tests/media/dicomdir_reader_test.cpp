// The DICOMDIR reader against pydicom's DICOMDIRs, one written by DCMTK's dcmmkdir, hand-made
// files with nested sequences and looping offsets, and mutated files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/model/element_list.h"
#include "media/dicomdir_reader.h"
#include "support/dicom_bytes.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

std::string DicomdirFile(const std::string& name) {
    return PydicomFile("dicomdirtests/" + name);
}

bool IsTextVR(const char* vr) {
    static const char* const kText[] = {"AE", "AS", "CS", "DA", "DS", "DT", "IS", "LO",
                                        "LT", "PN", "SH", "ST", "TM", "UI", "UT"};
    for (const char* t : kText)
        if (std::strncmp(vr, t, 2) == 0) return true;
    return false;
}

std::string Text(const DataElement& e) {
    std::string s(
        reinterpret_cast<const char*>(e.value),
        std::strlen(
            std::string(reinterpret_cast<const char*>(e.value), static_cast<std::size_t>(e.length)).c_str()));
    while (!s.empty() && (s.back() == ' ')) s.pop_back();
    return s;
}

// The list in the reference script's form: a line per record type, then its top-level texts.
std::string Listing(const ElementList& list) {
    std::string out;
    int nesting = 0;
    for (const auto& item : list) {
        const DataElement& e = *item;
        bool closes = e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD);
        if (closes) {
            if (nesting > 0) --nesting;
            continue;
        }
        if (e.length == -1) {
            ++nesting;
            continue;
        }
        if (nesting > 0 || e.length <= 0) continue;
        if (e.group == 0x0004 && e.element == 0x1430) {
            out += Text(e) + "\n";
        } else if (IsTextVR(e.vr) && !Text(e).empty()) {
            char tag[16];
            std::snprintf(tag, sizeof tag, "  %04X,%04X=", e.group, e.element);
            out += tag + Text(e) + "\n";
        }
    }
    return out;
}

std::string Reference(const std::string& file) {
    return RunCommand({"/usr/bin/python3",
                       std::string(PELLA_SOURCE_DIR) + "/tests/media/dicomdir_reference.py", file})
        .out;
}

std::string ReadListing(const std::string& file, bool* ok = nullptr) {
    ElementList list;
    bool read = pella::ReadDicomDirectory(file, list);
    if (ok) *ok = read;
    return Listing(list);
}

int CountLines(const std::string& text, const std::string& line) {
    int n = 0;
    for (std::size_t p = 0; (p = text.find(line + "\n", p)) != std::string::npos; p += line.size())
        if (p == 0 || text[p - 1] == '\n') ++n;
    return n;
}

}  // namespace

// Every variant of pydicom's DICOMDIR gives exactly the records pydicom finds along the offsets,
// in hierarchical order, with the same attribute values; the reordered, implicit and big endian
// copies of the same file set give the same tree as the original.
TEST(DicomdirReader, PydicomDicomdirsMatchPydicom) {
    const std::string original = ReadListing(DicomdirFile("DICOMDIR"));
    ASSERT_EQ(CountLines(original, "PATIENT"), 2);  // as dcmdump lists them
    ASSERT_GT(CountLines(original, "IMAGE"), 10);
    for (const char* name : {"DICOMDIR", "DICOMDIR-reordered", "DICOMDIR-implicit", "DICOMDIR-bigEnd",
                             "DICOMDIR-nooffset", "DICOMDIR-nopatient", "DICOMDIR-empty.dcm"}) {
        SCOPED_TRACE(name);
        bool ok = false;
        std::string ours = ReadListing(DicomdirFile(name), &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(ours, Reference(DicomdirFile(name)));
    }
    EXPECT_EQ(ReadListing(DicomdirFile("DICOMDIR-reordered")), original);
    EXPECT_EQ(ReadListing(DicomdirFile("DICOMDIR-implicit")), original);
    EXPECT_EQ(ReadListing(DicomdirFile("DICOMDIR-bigEnd")), original);
    EXPECT_EQ(ReadListing(DicomdirFile("DICOMDIR-empty.dcm")), "");
}

TEST(DicomdirReader, RefusesWhatIsNoDicomdir) {
    TempDir dir;
    bool ok = true;
    ReadListing(dir.File("missing"), &ok);
    EXPECT_FALSE(ok);
    // A Part 10 image has no root offset; a DICOMDIR without preamble is no Part 10 file.
    ReadListing(PydicomFile("CT_small.dcm"), &ok);
    EXPECT_FALSE(ok);
    std::vector<uint8_t> bytes = ReadAll(DicomdirFile("DICOMDIR"));
    bytes.erase(bytes.begin(), bytes.begin() + 128);
    ReadListing(dir.Write("nopreamble", bytes), &ok);
    EXPECT_FALSE(ok);
}

// DCMTK's dcmmkdir over a file set of several patients, studies and series that the test makes:
// the tree matches pydicom's walk and holds every record dcmdump lists.
TEST(DicomdirReader, DcmmkdirFileSet) {
    TempDir dir;
    const std::string script = R"(
import sys, os, pydicom
src = pydicom.dcmread(sys.argv[1])
n = 0
for p in range(3):
    for s in range(1 + (p == 0)):
        for se in range(2):
            for i in range(2):
                n += 1
                ds = src.copy()
                ds.PatientName = 'PATIENT^%d' % p
                ds.PatientID = 'PID%d' % p
                ds.StudyInstanceUID = '1.2.826.0.1.3680043.9.7.%d.%d' % (p, s)
                ds.StudyID = 'ST%d' % s
                ds.SeriesInstanceUID = '1.2.826.0.1.3680043.9.7.%d.%d.%d' % (p, s, se)
                ds.SeriesNumber = se + 1
                ds.SOPInstanceUID = '1.2.826.0.1.3680043.9.7.%d.%d.%d.%d' % (p, s, se, i)
                ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
                ds.InstanceNumber = i + 1
                folder = os.path.join('P%d' % p, 'S%d' % s, 'SE%d' % se)
                os.makedirs(folder, exist_ok=True)
                ds.save_as(os.path.join(folder, 'IM%d' % i), write_like_original=False)
print(n)
)";
    std::string cd = "cd " + Quote(dir.Path().string()) + " && ";
    int exit = -1;
    std::string made = RunCommand(
        cd + "/usr/bin/python3 -c " + Quote(script) + " " + Quote(PydicomFile("CT_small.dcm")), &exit);
    ASSERT_EQ(exit, 0);
    ASSERT_EQ(made, "16\n");
    RunCommand(cd + "dcmmkdir +r +I -q +D DICOMDIR P0 P1 P2 2>&1", &exit);
    ASSERT_EQ(exit, 0);
    const std::string dicomdir = dir.File("DICOMDIR");
    std::string ours = ReadListing(dicomdir);
    EXPECT_EQ(ours, Reference(dicomdir));
    EXPECT_EQ(CountLines(ours, "PATIENT"), 3);
    EXPECT_EQ(CountLines(ours, "STUDY"), 4);
    EXPECT_EQ(CountLines(ours, "SERIES"), 8);
    EXPECT_EQ(CountLines(ours, "IMAGE"), 16);
    // dcmdump lists the records in the order dcmmkdir stored them, which is the tree's order.
    std::string dump = RunCommand("dcmdump -q " + Quote(dicomdir) +
                                  " | sed -n 's/.*(0004,1430) CS \\[\\([A-Z]*\\)\\].*/\\1/p'");
    std::string types;
    for (std::size_t p = 0, q; (q = ours.find('\n', p)) != std::string::npos; p = q + 1)
        if (ours[p] != ' ') types += ours.substr(p, q - p + 1);
    EXPECT_EQ(types, dump);
}

namespace {

void PutU32(std::vector<uint8_t>& bytes, std::size_t pos, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[pos + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A small DICOMDIR stored image, series, study, patient; the patient record holds a nested
// sequence before its name, the image record one of two items before its instance number.
struct HandMade {
    std::vector<uint8_t> bytes;
    std::size_t rootPos = 0;
    enum { kImage, kSeries, kStudy, kPatient };
    std::size_t offset[4] = {};
    std::size_t nextPos[4] = {};
    std::size_t lowerPos[4] = {};

    HandMade() {
        DicomBytes b = Preamble();
        b.Explicit(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1") + '\0');
        b.Explicit(0x0004, 0x1200, "UL", std::string(4, '\0'));
        rootPos = b.Size() - 4;
        b.U16(0x0004).U16(0x1220).Text("SQ").U16(0).U32(0xFFFFFFFF);
        const char* types[4] = {"IMAGE ", "SERIES", "STUDY ", "PATIENT "};
        for (int r = 0; r < 4; ++r) {
            offset[r] = b.Size();
            b.TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);
            b.Explicit(0x0004, 0x1400, "UL", std::string(4, '\0'));
            nextPos[r] = b.Size() - 4;
            b.Explicit(0x0004, 0x1410, "US", std::string("\xFF\xFF", 2));
            b.Explicit(0x0004, 0x1420, "UL", std::string(4, '\0'));
            lowerPos[r] = b.Size() - 4;
            b.Explicit(0x0004, 0x1430, "CS", types[r]);
            if (r == kPatient) {
                b.U16(0x0010).U16(0x1002).Text("SQ").U16(0).U32(0xFFFFFFFF);
                b.TagLength(0xFFFE, 0xE000, 0xFFFFFFFF).Explicit(0x0010, 0x0020, "LO", "INNER ");
                b.TagLength(0xFFFE, 0xE00D, 0).TagLength(0xFFFE, 0xE0DD, 0);
                b.Explicit(0x0010, 0x0010, "PN", "OUTER^NAME");
            } else if (r == kImage) {
                b.Explicit(0x0004, 0x1500, "CS", "IM1 ");
                b.U16(0x0040).U16(0xA730).Text("SQ").U16(0).U32(0xFFFFFFFF);
                for (const char* v : {"A ", "B "})
                    b.TagLength(0xFFFE, 0xE000, 0xFFFFFFFF)
                        .Explicit(0x0040, 0xA160, "UT", v)
                        .TagLength(0xFFFE, 0xE00D, 0);
                b.TagLength(0xFFFE, 0xE0DD, 0);
                b.Explicit(0x0020, 0x0013, "IS", "7 ");
            } else {
                b.Explicit(0x0020, r == kStudy ? 0x0010 : 0x0011, r == kStudy ? "SH" : "IS", "5 ");
            }
            b.TagLength(0xFFFE, 0xE00D, 0);
        }
        b.TagLength(0xFFFE, 0xE0DD, 0);
        bytes = b.Bytes();
        PutU32(bytes, rootPos, uint32_t(offset[kPatient]));
        PutU32(bytes, lowerPos[kPatient], uint32_t(offset[kStudy]));
        PutU32(bytes, lowerPos[kStudy], uint32_t(offset[kSeries]));
        PutU32(bytes, lowerPos[kSeries], uint32_t(offset[kImage]));
    }
};

const char* const kHandMadeTree =
    "PATIENT\n  0010,0010=OUTER^NAME\nSTUDY\n  0020,0010=5\nSERIES\n  0020,0011=5\n"
    "IMAGE\n  0004,1500=IM1\n  0020,0013=7\n";

}  // namespace

// Records come in tree order whatever their stored order; a nested sequence of a patient record
// neither ends the record early nor lends its Patient ID to it; an image record's nested
// sequence of two items is returned whole.
TEST(DicomdirReader, NestedSequencesStayInsideTheirRecord) {
    TempDir dir;
    HandMade made;
    ElementList list;
    ASSERT_TRUE(pella::ReadDicomDirectory(dir.Write("DICOMDIR", made.bytes), list));
    EXPECT_EQ(Listing(list), kHandMadeTree);
    std::size_t items = 0, image = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].group == 0x0004 && list[i].element == 0x1430) image = i;
        if (list[i].group == 0xFFFE && list[i].element == 0xE000 && image > 0) ++items;
    }
    EXPECT_EQ(items, 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(list[0].value), 8), "PATIENT ");
    // The image record: type, file id, sequence, 2 x (item, text, item end), sequence end,
    // instance number, and the item delimitation that closes the record.
    EXPECT_EQ(list.size() - image, 12u);
}

// Offsets that lead back to a record already read (itself, an ancestor, an earlier record) or
// out of the file end their level; the walk ends and keeps what it read.
TEST(DicomdirReader, LoopingAndOutlyingOffsetsEndTheirLevel) {
    struct Case {
        const char* name;
        int record;  // whose link is bent; -1: the root offset
        bool lower;  // the lower-level link instead of the next-record link
        int target;  // the record pointed to; -1: far outside the file
        const char* tree;
    };
    const Case cases[] = {
        {"patient points to itself", HandMade::kPatient, false, HandMade::kPatient, kHandMadeTree},
        {"study's lower level is its patient", HandMade::kStudy, true, HandMade::kPatient,
         "PATIENT\n  0010,0010=OUTER^NAME\nSTUDY\n  0020,0010=5\n"},
        {"image's next is its series", HandMade::kImage, false, HandMade::kSeries, kHandMadeTree},
        {"image's next is itself", HandMade::kImage, false, HandMade::kImage, kHandMadeTree},
        {"series' next is outside the file", HandMade::kSeries, false, -1, kHandMadeTree},
        {"root outside the file", -1, false, -1, ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HandMade made;
        uint32_t target = c.target < 0 ? 0x7FFFFFF0u : uint32_t(made.offset[c.target]);
        std::size_t pos =
            c.record < 0 ? made.rootPos : (c.lower ? made.lowerPos[c.record] : made.nextPos[c.record]);
        PutU32(made.bytes, pos, target);
        bool ok = false;
        EXPECT_EQ(ReadListing(dir.Write("DICOMDIR", made.bytes), &ok), c.tree);
        EXPECT_TRUE(ok);
    }
    // The original pydicom file with its first patient pointing back to itself.
    std::vector<uint8_t> bytes = ReadAll(DicomdirFile("DICOMDIR"));
    ASSERT_EQ(bytes[396 + 8], 0x04);  // (0004,1400) opens the record at 396
    PutU32(bytes, 396 + 16, 396);
    std::string ours = ReadListing(dir.Write("DICOMDIR", bytes));
    std::string original = ReadListing(DicomdirFile("DICOMDIR"));
    EXPECT_EQ(ours, original.substr(0, original.find("PATIENT", 1)));
}

// Random byte changes and truncations: never a crash, hang or read outside the input (the
// sanitizer build checks the reads), and never more elements than the file could hold.
TEST(DicomdirReader, MutatedFilesEndCleanly) {
    TempDir dir;
    std::mt19937 random(1234);
    std::vector<std::vector<uint8_t>> seeds = {ReadAll(DicomdirFile("DICOMDIR")),
                                               ReadAll(DicomdirFile("DICOMDIR-implicit")),
                                               ReadAll(DicomdirFile("DICOMDIR-bigEnd")), HandMade().bytes};
    int read = 0;
    for (const auto& seed : seeds) {
        for (int round = 0; round < 600; ++round) {
            std::vector<uint8_t> bytes = seed;
            int changes = 1 + int(random() % 8);
            for (int i = 0; i < changes; ++i) {
                std::size_t pos = 128 + random() % (bytes.size() - 128);
                if (random() % 4 == 0 && pos + 4 <= bytes.size())
                    PutU32(bytes, pos, uint32_t(random() % (bytes.size() + 64)));  // an offset-like value
                else
                    bytes[pos] = uint8_t(random());
            }
            if (random() % 5 == 0) bytes.resize(128 + random() % (bytes.size() - 128));
            ElementList list;
            read += pella::ReadDicomDirectory(dir.Write("DICOMDIR", bytes), list) ? 1 : 0;
            EXPECT_LE(list.size(), bytes.size() / 8);
        }
    }
    EXPECT_GT(read, 1000);  // most mutants still have a root offset and are walked
}
