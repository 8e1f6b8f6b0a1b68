// The exported SetElementValue, EraseElement, NewUID and SaveDICOMFile on pydicom's samples:
// edits in implicit, big-endian and sequence-holding files read back from the saved file, group
// lengths kept true, and every refusal with a reason and no change.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "pella.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using testing_support::PydicomFile;
using testing_support::TempDir;

namespace {

std::string Failure() {
    char text[512];
    LastFailureText(text, sizeof text);
    return text;
}

// The value of a top-level element as bytes; "<none>" when absent.
std::string Value(const ElementList* list, uint16_t group, uint16_t element) {
    for (int32_t i = 0; i < ElementCount(list); ++i) {
        const DataElement* e = ElementAt(list, i);
        if (e->group == group && e->element == element)
            return e->length > 0 ? std::string(reinterpret_cast<const char*>(e->value), e->length) : "";
    }
    return "<none>";
}

struct Lists {
    ElementList* meta = CreateElementList();
    ElementList* data = CreateElementList();
    ~Lists() {
        DestroyElementList(meta);
        DestroyElementList(data);
    }
    bool Read(const std::string& file) { return DICOMFile(file.c_str(), meta, data, nullptr) == 1; }
};

struct Edit {
    const char* sample;
    const char* syntax;
    const char* path;
    const char* value;
    uint16_t group, element;  // a top-level element to look at after saving and reading back
    std::string expected;
};

TEST(EditApi, EditsSaveAndReadBackInTheFilesOwnSyntax) {
    const Edit cases[] = {
        {"MR_small_implicit.dcm", PELLA_IMPLICIT_VR_LITTLE_ENDIAN, "PatientName", "Roe^Jane", 0x0010, 0x0010,
         "Roe^Jane"},
        {"MR_small_bigendian.dcm", PELLA_EXPLICIT_VR_BIG_ENDIAN, "(0028,0101)", "12", 0x0028, 0x0101,
         std::string("\x00\x0C", 2)},
        {"CT_small.dcm", PELLA_EXPLICIT_VR_LITTLE_ENDIAN, "(0028,0101)", "12", 0x0028, 0x0101,
         std::string("\x0C\x00", 2)},
        {"rtplan.dcm", PELLA_IMPLICIT_VR_LITTLE_ENDIAN, "(300a,00b0)[0].(300a,00b2)", "unit9", 0x300A, 0x00B0,
         ""},
    };
    for (const Edit& c : cases) {
        SCOPED_TRACE(c.sample);
        TempDir dir;
        Lists lists;
        ASSERT_TRUE(lists.Read(PydicomFile(c.sample)));
        ASSERT_EQ(SetElementValue(lists.data, c.syntax, c.path, c.value, PELLA_EDIT_INSERT), 1) << Failure();
        std::string saved = dir.File("saved.dcm");
        ASSERT_EQ(SaveDICOMFile(saved.c_str(), lists.meta, lists.data, nullptr), 1) << Failure();
        Lists back;
        ASSERT_TRUE(back.Read(saved));
        EXPECT_EQ(Value(back.meta, 0x0002, 0x0010), Value(lists.meta, 0x0002, 0x0010));
        if (!c.expected.empty()) {
            EXPECT_EQ(Value(back.data, c.group, c.element), c.expected);
        }
        // Sequences come back in the flat form; the edited value is found inside the item.
        if (c.expected.empty()) {
            bool found = false;
            for (int32_t i = 0; i < ElementCount(back.data); ++i) {
                const DataElement* e = ElementAt(back.data, i);
                if (e->group == 0x300A && e->element == 0x00B2)
                    found = std::string(reinterpret_cast<const char*>(e->value), e->length) == "unit9 ";
            }
            EXPECT_TRUE(found);
        }
    }
}

TEST(EditApi, EraseCountsAndEverywhereReachesItems) {
    Lists lists;
    ASSERT_TRUE(lists.Read(PydicomFile("rtplan.dcm")));
    const char* syntax = PELLA_IMPLICIT_VR_LITTLE_ENDIAN;
    EXPECT_EQ(EraseElement(lists.data, syntax, "(300a,00b8)", 1), 4);  // two devices, two positions
    EXPECT_EQ(EraseElement(lists.data, syntax, "(300a,00b8)", 1), 0);
    EXPECT_EQ(EraseElement(lists.data, syntax, "(300a,0010)[1].(300a,0016)", 0), 1);
    EXPECT_EQ(EraseElement(lists.data, syntax, "(300a,0010)[2].(300a,0016)", 0), -1);
    EXPECT_NE(Failure().find("does not exist"), std::string::npos) << Failure();
    EXPECT_EQ(EraseElement(lists.data, syntax, "(300a,0010)[0].(300a,0016)", 1),
              -1);  // a path with everywhere
    EXPECT_EQ(EraseElement(lists.data, syntax, "RTPlanLabel", 0), 1);
    EXPECT_EQ(Value(lists.data, 0x300A, 0x0002), "<none>");
}

TEST(EditApi, GroupLengthsOfTheDataSetStayTrue) {
    // An explicit file whose data set carries group lengths, built by the library itself.
    TempDir dir;
    ElementList* data = CreateElementList();
    const uint8_t zero[4] = {0, 0, 0, 0};
    AddElement(data, GenerateTag(0x0008, 0x0000, 4, zero, "UL"));
    AddElement(data, GenerateTag(0x0008, 0x0018, 6, "1.2.3\0", "UI"));
    AddElement(data, GenerateTag(0x0010, 0x0000, 4, zero, "UL"));
    AddElement(data, GenerateTag(0x0010, 0x0010, 4, "A^B ", "PN"));
    ASSERT_EQ(SetElementValue(data, nullptr, "PatientID", "1234", PELLA_EDIT_INSERT), 1) << Failure();
    // (0010,0010) PN 4 and (0010,0020) LO 4, each 8 header bytes: 24.
    EXPECT_EQ(Value(data, 0x0010, 0x0000), std::string("\x18\x00\x00\x00", 4));
    EXPECT_EQ(Value(data, 0x0008, 0x0000), std::string("\x0E\x00\x00\x00", 4));
    ASSERT_EQ(EraseElement(data, nullptr, "PatientName", 0), 1);
    EXPECT_EQ(Value(data, 0x0010, 0x0000), std::string("\x0C\x00\x00\x00", 4));
    DestroyElementList(data);
}

TEST(EditApi, NewUidsAreValidAndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        char uid[PELLA_UID_BUFFER_SIZE];
        ASSERT_EQ(NewUID(uid, sizeof uid), 1);
        EXPECT_EQ(IsValidUID(uid), 1) << uid;
        EXPECT_EQ(std::strncmp(uid, "2.25.", 5), 0) << uid;
        seen.insert(uid);
    }
    EXPECT_EQ(seen.size(), 100u);
    char small[20] = "untouched";
    EXPECT_EQ(NewUID(small, sizeof small), 0);
    EXPECT_STREQ(small, "untouched");
    EXPECT_EQ(NewUID(nullptr, 65), 0);
}

TEST(EditApi, RefusalsNameTheirReasonAndChangeNothing) {
    TempDir dir;
    Lists lists;
    ASSERT_TRUE(lists.Read(PydicomFile("CT_small.dcm")));
    // Erasing nothing only opens the sequences held with defined lengths into the flat form.
    const int32_t read = ElementCount(lists.data);
    ASSERT_EQ(EraseElement(lists.data, nullptr, "(0040,0275)", 0), 0);
    const int32_t before = ElementCount(lists.data);
    EXPECT_GT(before, read);
    const std::string name = Value(lists.data, 0x0010, 0x0010);
    struct Refused {
        const char* syntax;
        const char* path;
        const char* value;
        int32_t mode;
    };
    const Refused cases[] = {
        {nullptr, "PatientName", "a=b=c=d", PELLA_EDIT_MODIFY},
        {nullptr, "NoSuchThing", "x", PELLA_EDIT_INSERT},
        {nullptr, "PatientName", "x", 7},
        {"1..2", "PatientName", "x", PELLA_EDIT_MODIFY},
        {nullptr, "(0008,1140)[0].(0008,1155)", "1.2", PELLA_EDIT_MODIFY},
        {nullptr, "PatientName[0].PatientID", "1", PELLA_EDIT_INSERT},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SetElementValue(lists.data, c.syntax, c.path, c.value, c.mode), 0);
        EXPECT_FALSE(Failure().empty());
        EXPECT_EQ(ElementCount(lists.data), before);
        EXPECT_EQ(Value(lists.data, 0x0010, 0x0010), name);
    }
    EXPECT_EQ(SetElementValue(nullptr, nullptr, "PatientName", "x", 0), 0);
    EXPECT_EQ(SetElementValue(lists.data, nullptr, nullptr, "x", 0), 0);
    EXPECT_EQ(EraseElement(nullptr, nullptr, "PatientName", 0), -1);
    ElementList* freed = CreateElementList();
    DestroyElementList(freed);
    EXPECT_EQ(SetElementValue(freed, nullptr, "PatientName", "x", 0), 0);
    EXPECT_NE(Failure().find("not a live"), std::string::npos) << Failure();

    std::string target = dir.File("kept.dcm");
    std::ofstream(target) << "old contents";
    EXPECT_EQ(SaveDICOMFile(target.c_str(), lists.meta, lists.data, "not-a-uid"), 0);
    EXPECT_EQ(SaveDICOMFile(target.c_str(), nullptr, lists.data, nullptr), 0);     // no syntax anywhere
    EXPECT_EQ(SaveDICOMFile(target.c_str(), lists.data, lists.data, nullptr), 0);  // data as meta
    EXPECT_EQ(SaveDICOMFile(nullptr, lists.meta, lists.data, nullptr), 0);
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old contents");
}

}  // namespace
