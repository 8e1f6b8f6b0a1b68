#include "data/json/dataset_json.h"
#include "data/json/json_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using pella::DatasetToJson;
using pella::ElementList;
using pella::Json;
using pella::JsonOptions;
using pella::kUndefinedLength;
using pella::NewElement;
using pella::ParseState;

namespace {

void Add(ElementList& list, uint16_t group, uint16_t element, const char* vr, const std::string& value) {
    list.Append(NewElement(group, element, static_cast<int32_t>(value.size()), value.data(), vr));
}

void AddOpen(ElementList& list, uint16_t group, uint16_t element, const char* vr) {
    list.Append(NewElement(group, element, kUndefinedLength, nullptr, vr));
}

void AddItem(ElementList& list) {
    AddOpen(list, 0xFFFE, 0xE000, "DL");
}
void AddItemEnd(ElementList& list) {
    list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
}
void AddSequenceEnd(ElementList& list) {
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
}

ParseState Encoding(bool explicitVR, bool bigEndian) {
    ParseState state;
    state.metaMode = false;
    state.explicitVR = explicitVR;
    state.bigEndian = bigEndian;
    return state;
}

Json ToJson(const ElementList& list, ParseState encoding = Encoding(true, false),
            const std::vector<uint64_t>* offsets = nullptr, JsonOptions options = {}) {
    Json out;
    EXPECT_TRUE(DatasetToJson({list, offsets, encoding}, options, out));
    // Read back from its text, where binary values have become base64 strings.
    std::string text;
    pella::AppendJsonText(text, out);
    return Json::parse(text);
}

}  // namespace

TEST(DatasetJson, BinaryNumbersFollowTheByteOrderOfTheEncoding) {
    ElementList list;
    Add(list, 0x0028, 0x0010, "US", std::string("\x02\x00", 2));
    Add(list, 0x0028, 0x0106, "SS", std::string("\xFF\xFE", 2));
    Add(list, 0x0018, 0x9219, "SL", std::string("\xFF\xFF\xFF\xFE", 4));
    Add(list, 0x0018, 0x1310, "US", std::string("\x00\x01\x00\x02", 4));
    Add(list, 0x0018, 0x9089, "FD", std::string("\x3F\xF8\x00\x00\x00\x00\x00\x00", 8));
    Add(list, 0x0020, 0x9165, "AT", std::string("\x00\x10\x00\x20", 4));
    Json big = ToJson(list, Encoding(true, true));
    EXPECT_EQ(big["00280010"]["Value"], Json::parse("[512]"));
    EXPECT_EQ(big["00280106"]["Value"], Json::parse("[-2]"));
    EXPECT_EQ(big["00189219"]["Value"], Json::parse("[-2]"));
    EXPECT_EQ(big["00181310"]["Value"], Json::parse("[1, 2]"));
    EXPECT_EQ(big["00189089"]["Value"], Json::parse("[1.5]"));
    EXPECT_EQ(big["00209165"]["Value"], Json::parse(R"(["00100020"])"));
    Json little = ToJson(list, Encoding(true, false));
    EXPECT_EQ(little["00280010"]["Value"], Json::parse("[2]"));
    EXPECT_EQ(little["00181310"]["Value"], Json::parse("[256, 512]"));
}

TEST(DatasetJson, TextsSplitTrimAndBecomeNumbersWhereTheVRSays) {
    ElementList list;
    Add(list, 0x0008, 0x0008, "CS", "ORIGINAL \\\\ AXIAL ");
    Add(list, 0x0020, 0x0013, "IS", " +12 ");
    Add(list, 0x0020, 0x0012, "IS", "12a ");  // not a number: kept as text, not lost
    Add(list, 0x0028, 0x0030, "DS", "0.5\\1e-3 ");
    Add(list, 0x0008, 0x0018, "UI", std::string("1.2.3\0", 6));
    Add(list, 0x0010, 0x0010, "PN", "Yamada^Tarou==yamada^tarou\\Doe ");
    Add(list, 0x0010, 0x4000, "LT", "  indented\\not split  ");
    Add(list, 0x0008, 0x0050, "SH", "    ");
    Json json = ToJson(list);
    EXPECT_EQ(json["00080008"]["Value"], Json::parse(R"(["ORIGINAL", null, "AXIAL"])"));
    EXPECT_EQ(json["00200013"]["Value"], Json::parse("[12]"));
    EXPECT_EQ(json["00200012"]["Value"], Json::parse(R"(["12a"])"));
    EXPECT_EQ(json["00280030"]["Value"], Json::parse("[0.5, 0.001]"));
    EXPECT_EQ(json["00080018"]["Value"], Json::parse(R"(["1.2.3"])"));
    EXPECT_EQ(
        json["00100010"]["Value"],
        Json::parse(R"([{"Alphabetic":"Yamada^Tarou","Phonetic":"yamada^tarou"},{"Alphabetic":"Doe"}])"));
    EXPECT_EQ(json["00104000"]["Value"], Json::parse(R"(["  indented\\not split"])"));
    EXPECT_EQ(json["00080050"], Json::parse(R"({"vr":"SH"})"));  // no value: no "Value"
}

TEST(DatasetJson, ImplicitDataTakeTheDictionaryVRPrivateCreatorsLOAndUnknownsUN) {
    ElementList list;
    Add(list, 0x0009, 0x0000, nullptr, std::string("\x08\x00\x00\x00", 4));
    Add(list, 0x0009, 0x0010, nullptr, "ACME 1.0");
    Add(list, 0x0009, 0x1001, nullptr, std::string("\x01\x02\x03", 3));
    Add(list, 0x0028, 0x0010, nullptr, std::string("\x00\x02", 2));
    Json json = ToJson(list, Encoding(false, false));
    EXPECT_EQ(json["00090000"], Json::parse(R"({"vr":"UL","Value":[8]})"));
    EXPECT_EQ(json["00090010"], Json::parse(R"({"vr":"LO","Value":["ACME 1.0"]})"));
    EXPECT_EQ(json["00091001"], Json::parse(R"({"vr":"UN","InlineBinary":"AQID"})"));
    EXPECT_EQ(json["00280010"], Json::parse(R"({"vr":"US","Value":[512]})"));
}

TEST(DatasetJson, SequencesNestAndTheirItemsKeepTheirOwnCharacterSet) {
    ElementList list;
    Add(list, 0x0008, 0x0005, "CS", "ISO_IR 100");
    AddOpen(list, 0x0008, 0x1115, "SQ");
    AddItem(list);
    Add(list, 0x0008, 0x0005, "CS", "ISO_IR 192");
    Add(list, 0x0010, 0x0010, "PN", "\xCE\xA9");
    AddItemEnd(list);
    AddItem(list);
    AddItemEnd(list);
    AddSequenceEnd(list);
    AddOpen(list, 0x0008, 0x1140, "SQ");  // no items
    AddSequenceEnd(list);
    AddItemEnd(list);  // stray: ignored in the data set itself
    Add(list, 0x0010, 0x0010, "PN", "\xC8ve");
    Json json = ToJson(list);
    EXPECT_EQ(json["00081115"]["Value"][0]["00100010"]["Value"][0]["Alphabetic"], "Ω");
    EXPECT_EQ(json["00081115"]["Value"][1], Json::object());
    EXPECT_EQ(json["00081140"], Json::parse(R"({"vr":"SQ"})"));
    EXPECT_EQ(json["00100010"]["Value"][0]["Alphabetic"], "Ève");
}

TEST(DatasetJson, DefinedLengthSequencesAreDecodedAndUndecodableOnesKeptAsBytes) {
    // An implicit item holding (0010,0020) "ID01", as one defined-length sequence value.
    const std::string item = std::string("\xFE\xFF\x00\xE0\x0C\x00\x00\x00", 8) +
                             std::string("\x10\x00\x20\x00\x04\x00\x00\x00", 8) + "ID01";
    ElementList list;
    Add(list, 0x0008, 0x1115, nullptr, item);
    Add(list, 0x0008, 0x1140, nullptr, "\x01\x02\x03");  // a sequence by the dictionary, not by its bytes
    Json json = ToJson(list, Encoding(false, false));
    EXPECT_EQ(json["00081115"],
              Json::parse(R"({"vr":"SQ","Value":[{"00100020":{"vr":"LO","Value":["ID01"]}}]})"));
    EXPECT_EQ(json["00081140"], Json::parse(R"({"vr":"UN","InlineBinary":"AQID"})"));
}

TEST(DatasetJson, LongBinaryValuesBecomeUrisOfTheirBytesInTheFile) {
    ElementList list;
    Add(list, 0x0009, 0x1001, "OB", std::string(2000, 'x'));
    Add(list, 0x0009, 0x1002, "OB", std::string(10, 'y'));
    AddOpen(list, 0x7FE0, 0x0010, "OB");
    AddItem(list);  // the offset table, empty
    list[3].length = 0;
    Add(list, 0xFFFE, 0xE000, "DL", std::string(1500, 'z'));
    AddSequenceEnd(list);
    const std::vector<uint64_t> offsets = {500, 2512, 2534, 2542, 2550, 4050};
    JsonOptions options;
    options.fileUri = "file:///data/a%20b.dcm";
    Json json = ToJson(list, Encoding(true, false), &offsets, options);
    EXPECT_EQ(json["00091001"],
              Json::parse(R"({"vr":"OB","BulkDataURI":"file:///data/a%20b.dcm?offset=500&length=2000"})"));
    EXPECT_EQ(json["00091002"], Json::parse(R"({"vr":"OB","InlineBinary":"eXl5eXl5eXl5eQ=="})"));
    // The fragments from the first item's header to the last fragment's end.
    EXPECT_EQ(json["7FE00010"],
              Json::parse(R"({"vr":"OB","BulkDataURI":"file:///data/a%20b.dcm?offset=2534&length=1516"})"));
    options.inlineLimit = -1;
    Json inlined = ToJson(list, Encoding(true, false), &offsets, options);
    std::string fragments = inlined["7FE00010"]["InlineBinary"];
    EXPECT_EQ(fragments.substr(0, 16),
              "/v8A4AAAAAD+/wDg");  // item headers as in the file: FE FF 00 E0, length
    EXPECT_TRUE(inlined["00091001"].contains("InlineBinary"));
}

TEST(DatasetJson, NestingBeyondTheLimitIsRefusedNotRecursedInto) {
    ElementList list;
    for (int i = 0; i < 200; ++i) {
        AddOpen(list, 0x0008, 0x1115, "SQ");
        AddItem(list);
    }
    Json out;
    EXPECT_FALSE(DatasetToJson({list, nullptr, Encoding(true, false)}, {}, out));
}

// The writer's shortcuts must give the library's own text for every kind of value, and base64
// as RFC 4648 gives it for binary values of every length modulo 3.
TEST(JsonText, WritesWhatTheLibraryWritesAndBinaryAsBase64) {
    const std::vector<Json> values = {
        Json::parse(R"({"b":[1,-2,3.25,1e300,true,false,null],"a":{"x":"plain text","y":[]},"e":{}})"),
        Json("quote \" backslash \\ slash / tab \t newline \n nul " + std::string(1, '\0') + " del \x7F"),
        Json("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC"),
        Json("invalid \xFF\xC3 bytes"),
        Json::array({Json::object({{"k\x01", "v"}}), "", 0.1, -0.0}),
    };
    for (const Json& value : values) {
        std::string text;
        pella::AppendJsonText(text, value);
        EXPECT_EQ(text, value.dump(-1, ' ', false, Json::error_handler_t::replace)) << text;
    }
    const std::vector<std::pair<std::string, std::string>> binaries = {
        {"", "\"\""},
        {"f", "\"Zg==\""},
        {"fo", "\"Zm8=\""},
        {"foo", "\"Zm9v\""},
        {"foob", "\"Zm9vYg==\""},
        {"fooba", "\"Zm9vYmE=\""},
        {"foobar", "\"Zm9vYmFy\""},
        {std::string("\xFB\xFF\xBF", 3), "\"+/+/\""},
    };
    for (const auto& [bytes, expected] : binaries) {
        std::string text = "x";
        pella::AppendJsonText(text, Json::binary(Json::binary_t::container_type(bytes.begin(), bytes.end())));
        EXPECT_EQ(text, "x" + expected);
    }
}
