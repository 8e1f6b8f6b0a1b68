// Editing element lists by path: set, insert, erase and erase everywhere, in the flat form and
// after opening sequences held with defined lengths; failures leave the list as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/edit/element_edits.h"
#include "data/edit/open_sequences.h"
#include "data/io/dataset_writer.h"
#include "support/data_set_builder.h"

using namespace pella;
using testing_support::AddText;

namespace {

// One line per element: tag, VR, and the value as text (or the length when undefined).
std::vector<std::string> Listing(const ElementList& list) {
    std::vector<std::string> lines;
    for (const auto& e : list) {
        char head[32];
        std::snprintf(head, sizeof head, "%04X,%04X %.2s ", e->group, e->element, e->vr);
        std::string value = e->length == kUndefinedLength
                                ? "u/l"
                                : std::string(reinterpret_cast<const char*>(e->value),
                                              static_cast<std::size_t>(e->length > 0 ? e->length : 0));
        lines.push_back(head + value);
    }
    return lines;
}

void Open(ElementList& list, uint16_t group, uint16_t element, const char* vr = "SQ") {
    list.Append(NewElement(group, element, kUndefinedLength, nullptr, vr));
}
void Item(ElementList& list) {
    list.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
}
void EndItem(ElementList& list) {
    list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
}
void EndSequence(ElementList& list) {
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
}

// A data set with a two-item sequence and encapsulated pixel data.
ElementList Sample() {
    ElementList list;
    AddText(list, 0x0008, 0x0018, "UI", "1.2.3");
    AddText(list, 0x0010, 0x0010, "PN", "Doe^John");
    Open(list, 0x0040, 0x0275);
    Item(list);
    AddText(list, 0x0040, 0x0007, "LO", "first");
    AddText(list, 0x0040, 0x0009, "SH", "SPS1");
    EndItem(list);
    Item(list);
    AddText(list, 0x0040, 0x0009, "SH", "SPS2");
    EndItem(list);
    EndSequence(list);
    Open(list, 0x7FE0, 0x0010, "OB");
    list.Append(NewElement(0xFFFE, 0xE000, 0, nullptr, "DL"));
    list.Append(NewElement(0xFFFE, 0xE000, 4, "\x10\x00\x10\x00", "DL"));  // a fragment that looks like a tag
    EndSequence(list);
    return list;
}

TagPath Path(const char* text) {
    TagPath path;
    std::string error;
    EXPECT_TRUE(ParseTagPath(text, path, error)) << text << ": " << error;
    return path;
}

struct SetCase {
    const char* path;
    const char* value;
    SetMode mode;
    std::vector<std::pair<std::size_t, std::string>> changed;  // index -> line, after the edit
    std::size_t size;                                          // elements after the edit
};

TEST(ElementEdits, SetsAndInsertsByPath) {
    const SetCase cases[] = {
        {"PatientName", "Roe^Jane", SetMode::Modify, {{1, "0010,0010 PN Roe^Jane"}}, 15},
        {"(0040,0275)[1].(0040,0009)", "X", SetMode::Modify, {{8, "0040,0009 SH X "}}, 15},
        {"(0040,0275)[0].(0040,0007)", "", SetMode::Modify, {{4, "0040,0007 LO "}}, 15},
        {"PatientID", "42", SetMode::Insert, {{2, "0010,0020 LO 42"}, {3, "0040,0275 SQ u/l"}}, 16},
        {"(0040,0275)[1].(0040,0007)",
         "second",
         SetMode::Insert,
         {{8, "0040,0007 LO second"}, {9, "0040,0009 SH SPS2"}},
         16},
        {"(0040,0275)[*].(0040,0009)",
         "ALL",
         SetMode::Modify,
         {{5, "0040,0009 SH ALL "}, {8, "0040,0009 SH ALL "}},
         15},
        {"(0040,0275)[2].(0040,0009)",
         "SPS3",
         SetMode::Insert,
         {{10, "FFFE,E000 DL u/l"}, {11, "0040,0009 SH SPS3"}, {12, "FFFE,E00D DL "}, {13, "FFFE,E0DD DL "}},
         18},
        {"(0008,1115)[0].(0008,1155)",
         "1.2.4",
         SetMode::Insert,
         {{1, "0008,1115 SQ u/l"},
          {2, "FFFE,E000 DL u/l"},
          {3, std::string("0008,1155 UI 1.2.4\0", 19)},
          {4, "FFFE,E00D DL "},
          {5, "FFFE,E0DD DL "},
          {6, "0010,0010 PN Doe^John"}},
         20},
    };
    for (const SetCase& c : cases) {
        ElementList list = Sample();
        std::vector<std::string> before = Listing(list);
        std::string error;
        ASSERT_TRUE(SetElementByPath(list, Path(c.path), c.value, c.mode, false, error))
            << c.path << ": " << error;
        std::vector<std::string> after = Listing(list);
        ASSERT_EQ(after.size(), c.size) << c.path;
        for (const auto& [index, line] : c.changed)
            EXPECT_EQ(after[index], line) << c.path << " at " << index;
        EXPECT_TRUE(SequencesClosed(list)) << c.path;
        // Everything outside the changed lines keeps its place relative to the end.
        EXPECT_EQ(after.back(), before.back()) << c.path;
        EXPECT_EQ(after.front(), before.front()) << c.path;
    }
}

struct Refused {
    const char* path;
    const char* value;
    SetMode mode;
};

TEST(ElementEdits, FailuresLeaveTheListAsItWas) {
    const Refused cases[] = {
        {"PatientID", "1", SetMode::Modify},                                   // missing element
        {"(0040,0275)[2].(0040,0009)", "X", SetMode::Modify},                  // missing item
        {"(0040,0275)[3].(0040,0009)", "X", SetMode::Insert},                  // past the next item
        {"(0040,0275)[1].(0040,0007)", "x", SetMode::Modify},                  // missing in that item
        {"PatientName[0].(0040,0009)", "X", SetMode::Insert},                  // not a sequence
        {"(0040,0275)", "X", SetMode::Modify},                                 // a sequence takes no text
        {"(7FE0,0010)", "X", SetMode::Modify},                                 // encapsulated pixel data
        {"(0040,0275)[0].(0040,0009)", "seventeen chars!!", SetMode::Modify},  // over-long SH
        {"(0040,0275)[*].(0040,0007)", "x", SetMode::Modify},                  // missing in item 1
        {"(0040,0275)[0].(0040,0007)", "bad\x01", SetMode::Modify},            // control character
        {"(0008,1115)[0].(0008,1155)", "1..2", SetMode::Insert},               // new sequence, bad UID
        {"(0040,0275)[2].StudyDate", "20231301", SetMode::Insert},             // new item, bad date
        {"(0009,1001)", "x", SetMode::Insert},                                 // private: VR unknown
        {"(FFFE,E000)", "x", SetMode::Insert},                                 // an item
        {"PatientName[0].PatientID", "1", SetMode::Modify},                    // not a sequence
    };
    for (const Refused& c : cases) {
        ElementList list = Sample();
        std::vector<std::string> before = Listing(list);
        std::string error;
        EXPECT_FALSE(SetElementByPath(list, Path(c.path), c.value, c.mode, false, error)) << c.path;
        EXPECT_FALSE(error.empty()) << c.path;
        EXPECT_EQ(Listing(list), before) << c.path;
    }
}

TEST(ElementEdits, ErasesByPathAndEverywhere) {
    const std::tuple<const char*, long, std::size_t> cases[] = {
        {"PatientName", 1, 14},
        {"(0040,0275)", 1, 6},  // the whole sequence
        {"(0040,0275)[0].(0040,0009)", 1, 14},
        {"(0040,0275)[*].(0040,0009)", 2, 13},
        {"PatientID", 0, 15},
        {"(0008,1115)[0].(0008,1155)", 0, 15},  // a missing sequence: nothing to erase
    };
    for (const auto& [path, count, size] : cases) {
        ElementList list = Sample();
        std::string error;
        EXPECT_EQ(EraseElementByPath(list, Path(path), error), count) << path << ": " << error;
        EXPECT_EQ(list.size(), size) << path;
        EXPECT_TRUE(SequencesClosed(list)) << path;
    }
    for (const char* path : {"(0040,0275)[2].(0040,0009)", "PatientName[0].PatientID"}) {
        ElementList list = Sample();
        std::string error;
        EXPECT_EQ(EraseElementByPath(list, Path(path), error), -1) << path;
        EXPECT_EQ(list.size(), 15u) << path;
    }

    ElementList list = Sample();
    EXPECT_EQ(EraseEverywhere(list, 0x0040, 0x0009), 2u);
    EXPECT_EQ(EraseEverywhere(list, 0x0010, 0x0010), 1u);
    EXPECT_EQ(EraseEverywhere(list, 0xFFFE, 0xE000), 0u);  // items are never attributes
    EXPECT_EQ(EraseEverywhere(list, 0x0010, 0x0010), 0u);  // the fragment bytes 10 00 10 00 stay
    EXPECT_EQ(list.size(), 12u);
    EXPECT_EQ(list[10].length, 4);
}

// The sample's sequence written with defined lengths, as many files hold it.
ElementList DefinedLengthSample(bool explicitVR) {
    ElementList inner;
    AddText(inner, 0x0040, 0x0009, "SH", "SPS1");
    std::vector<uint8_t> itemValue = SerializeList(inner, explicitVR, false);
    ElementList items;
    items.Append(NewElement(0xFFFE, 0xE000, static_cast<int32_t>(itemValue.size()), itemValue.data(), "DL"));
    std::vector<uint8_t> sequenceValue = SerializeList(items, explicitVR, false);
    ElementList list;
    AddText(list, 0x0010, 0x0010, explicitVR ? "PN" : "", "Doe^John");
    list.Append(NewElement(0x0040, 0x0275, static_cast<int32_t>(sequenceValue.size()), sequenceValue.data(),
                           explicitVR ? "SQ" : ""));
    return list;
}

TEST(ElementEdits, OpensDefinedLengthSequencesInEitherVRForm) {
    for (bool explicitVR : {true, false}) {
        ElementList list = DefinedLengthSample(explicitVR);
        std::string error;
        ASSERT_TRUE(OpenSequences(list, explicitVR, false, error)) << error;
        const std::vector<std::string> expected = {
            "0010,0010 PN Doe^John", "0040,0275 SQ u/l", "FFFE,E000 DL u/l",
            "0040,0009 SH SPS1",     "FFFE,E00D DL ",    "FFFE,E0DD DL ",
        };
        EXPECT_EQ(Listing(list), expected) << explicitVR;
        ASSERT_TRUE(
            SetElementByPath(list, Path("(0040,0275)[0].(0040,0009)"), "NEW", SetMode::Modify, false, error));
        EXPECT_EQ(list[3].length, 4);
    }
}

TEST(ElementEdits, OpeningRefusesBrokenSequencesAndKeepsTheList) {
    ElementList broken = DefinedLengthSample(true);
    broken[1].value[6] = 0x7F;  // the item's length now runs past the sequence's value
    std::string error;
    std::vector<std::string> before = Listing(broken);
    EXPECT_FALSE(OpenSequences(broken, true, false, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Listing(broken), before);

    ElementList unclosed;
    Open(unclosed, 0x0040, 0x0275);
    Item(unclosed);
    EXPECT_FALSE(OpenSequences(unclosed, true, false, error));
}

}  // namespace
