// The exported DICOMHeader, DumpListToLines and DICOMJson.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "data/model/element_list.h"
#include "pella.h"
#include "support/dicom_bytes.h"
#include "support/temp_dir.h"

using testing_support::DicomBytes;
using testing_support::MetaGroup;
using testing_support::Preamble;
using testing_support::TempDir;

namespace {

void Collect(const char* line, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

}  // namespace

TEST(DICOMHeaderApi, ReadsUpToThePixelDataAndDumpsIt) {
    TempDir dir;
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2"));
    file.Implicit(0x0010, 0x0010, "Doe^John");
    file.Implicit(0x0028, 0x0010, std::string("\x00\x02", 2));
    file.TagLength(0x7FE0, 0x0010, 4).Text("pix!");
    std::string name = dir.Write("a.dcm", file.Bytes());

    ElementList* list = CreateElementList();
    ASSERT_EQ(DICOMHeader(name.c_str(), list), 1);
    ASSERT_EQ(ElementCount(list), 7);
    std::vector<std::string> lines;
    ASSERT_EQ(DumpListToLines(list, 0, Collect, &lines), 1);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "(0002, 0002), 26, UI  \"1.2.840.10008.5.1.4.1.1.7\" - Media Storage SOP Class UID");
    EXPECT_EQ(lines[5], "(0010, 0010), 8, PN  \"Doe^John\" - Patient's Name");
    EXPECT_EQ(lines[6], "(0028, 0010), 2, US  \"512\" - Rows");
    ClearTags(list);
    EXPECT_EQ(ElementCount(list), 0);

    EXPECT_EQ(DICOMHeader(dir.File("missing.dcm").c_str(), list), 0);
    EXPECT_EQ(DICOMHeader(nullptr, list), 0);
    EXPECT_EQ(DICOMHeader(name.c_str(), nullptr), 0);
    EXPECT_EQ(DumpListToLines(nullptr, 1, Collect, &lines), 0);
    EXPECT_EQ(DumpListToLines(list, 1, nullptr, nullptr), 0);
    DestroyElementList(list);
}

TEST(DICOMHeaderApi, TruncatedHeaderFailsAndKeepsWhatWasRead) {
    TempDir dir;
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2"));
    file.Implicit(0x0010, 0x0010, "Doe^John");
    file.TagLength(0x0010, 0x0020, 1000).Text("short");
    ElementList* list = CreateElementList();
    EXPECT_EQ(DICOMHeader(dir.Write("t.dcm", file.Bytes()).c_str(), list), 0);
    EXPECT_EQ(ElementCount(list), 6);
    DestroyElementList(list);
}

TEST(DICOMJsonApi, GivesTheDataSetWithPixelDataAsAUriOfItsBytes) {
    TempDir dir;
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2"));
    file.Implicit(0x0010, 0x0010, "Doe^John");
    file.TagLength(0x7FE0, 0x0010, 2000).Text(std::string(2000, 'p'));
    std::vector<uint8_t> bytes = file.Bytes();
    std::string name = dir.Write("a b%.dcm", bytes);
    std::string uri = "file://" + std::filesystem::absolute(dir.Path()).string() + "/a%20b%25.dcm";

    char* text = DICOMJson(name.c_str(), 1024);
    ASSERT_NE(text, nullptr);
    nlohmann::json json = nlohmann::json::parse(text);
    FreeText(text);
    EXPECT_EQ(json["00100010"], nlohmann::json::parse(R"({"vr":"PN","Value":[{"Alphabetic":"Doe^John"}]})"));
    EXPECT_EQ(json["7FE00010"]["vr"], "OW");
    EXPECT_EQ(json["7FE00010"]["BulkDataURI"],
              uri + "?offset=" + std::to_string(bytes.size() - 2000) + "&length=2000");
    EXPECT_FALSE(json.contains("00020010"));

    text = DICOMJson(name.c_str(), -1);
    ASSERT_NE(text, nullptr);
    json = nlohmann::json::parse(text);
    FreeText(text);
    EXPECT_EQ(json["7FE00010"]["InlineBinary"].get<std::string>().substr(0, 8), "cHBwcHBw");

    EXPECT_EQ(DICOMJson(dir.File("missing.dcm").c_str(), 0), nullptr);
    EXPECT_EQ(DICOMJson(nullptr, 0), nullptr);
    FreeText(nullptr);
}
