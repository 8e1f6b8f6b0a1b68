// pella dicomdir FILE: the patient, study, series and instance records of a DICOMDIR as a tree.
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "dicomdir",
    "pella dicomdir [options] FILE",
    "Reads a DICOMDIR and prints its records as a tree, following the record offsets: each\n"
    "patient, its studies, their series and each series' instance records (IMAGE and others),\n"
    "indented by level, with the main attributes of each record and the file each instance\n"
    "record refers to.",
    {{{"--json"}, "", "print the same tree as nested JSON"}},
    1,
    1,
};

struct Attribute {
    uint16_t group;
    uint16_t element;
    const char* keyword;
};

// The attributes shown per record level (patient, study, series, instance).
const std::vector<Attribute> kShown[4] = {
    {{0x0010, 0x0010, "PatientName"},
     {0x0010, 0x0020, "PatientID"},
     {0x0010, 0x0030, "PatientBirthDate"},
     {0x0010, 0x0040, "PatientSex"}},
    {{0x0008, 0x0020, "StudyDate"},
     {0x0008, 0x0030, "StudyTime"},
     {0x0020, 0x0010, "StudyID"},
     {0x0008, 0x0050, "AccessionNumber"},
     {0x0008, 0x1030, "StudyDescription"},
     {0x0020, 0x000D, "StudyInstanceUID"}},
    {{0x0008, 0x0060, "Modality"},
     {0x0020, 0x0011, "SeriesNumber"},
     {0x0008, 0x103E, "SeriesDescription"},
     {0x0020, 0x000E, "SeriesInstanceUID"}},
    {{0x0020, 0x0013, "InstanceNumber"},
     {0x0004, 0x1500, "ReferencedFileID"},
     {0x0004, 0x1510, "ReferencedSOPClassUIDInFile"},
     {0x0004, 0x1511, "ReferencedSOPInstanceUIDInFile"},
     {0x0004, 0x1512, "ReferencedTransferSyntaxUIDInFile"}},
};

struct Record {
    std::string type;
    int level = 4;
    std::vector<std::pair<std::string, std::string>> values;  // keyword, text
    std::vector<Record> children;
};

// A text value up to its first zero byte, without trailing spaces; the path separator of a
// Referenced File ID ("\") becomes "/".
std::string ValueText(const DataElement& e, bool path) {
    std::string text;
    for (int32_t i = 0; i < e.length && e.value[i] != 0; ++i) text += static_cast<char>(e.value[i]);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (path)
        for (char& c : text)
            if (c == '\\') c = '/';
    return text;
}

int LevelOf(const std::string& type) {
    if (type == "PATIENT") return 1;
    if (type == "STUDY") return 2;
    if (type == "SERIES") return 3;
    return 4;
}

void TakeAttribute(Record& record, const DataElement& e) {
    for (const Attribute& a : kShown[record.level - 1]) {
        if (a.group != e.group || a.element != e.element || e.length <= 0) continue;
        record.values.emplace_back(a.keyword, ValueText(e, a.element == 0x1500));
    }
}

// Cuts the flat list into records (a record type element at the record's own level starts
// one) and hangs each under the last record of the level above.
std::vector<Record> BuildTree(const ElementList* list) {
    std::vector<Record> roots;
    std::vector<Record*> open;  // the last record of each level taken so far
    Record* current = nullptr;
    int nesting = 0;  // undefined-length sequences and items open inside the current record
    for (int32_t i = 0; i < ElementCount(list); ++i) {
        const DataElement& e = *ElementAt(list, i);
        bool closes = e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD);
        if (nesting == 0 && e.group == 0x0004 && e.element == 0x1430) {
            Record record;
            record.type = ValueText(e, false);
            record.level = LevelOf(record.type);
            open.resize(static_cast<std::size_t>(record.level - 1));
            std::vector<Record>& siblings = open.empty() ? roots : open.back()->children;
            siblings.push_back(std::move(record));
            current = &siblings.back();
            open.push_back(current);
        } else if (closes) {
            if (nesting > 0) --nesting;
        } else if (e.length == -1) {
            ++nesting;
        } else if (nesting == 0 && current != nullptr) {
            TakeAttribute(*current, e);
        }
    }
    return roots;
}

void PrintText(const std::vector<Record>& records, int depth) {
    for (const Record& r : records) {
        std::printf("%*s%s", depth * 2, "", r.type.c_str());
        for (const auto& [keyword, value] : r.values)
            std::printf("  %s=\"%s\"", keyword.c_str(), value.c_str());
        std::printf("\n");
        PrintText(r.children, depth + 1);
    }
}

nlohmann::ordered_json ToJson(const std::vector<Record>& records) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Record& r : records) {
        nlohmann::ordered_json node;
        node["type"] = r.type;
        for (const auto& [keyword, value] : r.values) node[keyword] = value;
        if (!r.children.empty()) node["children"] = ToJson(r.children);
        array.push_back(std::move(node));
    }
    return array;
}

}  // namespace

int RunDicomdir(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    const std::string& file = args.Positionals()[0];
    OwnedList list = NewList();
    if (!list || !ReadDCMDIR(file.c_str(), list.get())) {
        std::fprintf(stderr,
                     "pella dicomdir: cannot read '%s': not a DICOMDIR (missing, no preamble and "
                     "\"DICM\", or no offset of the root directory record)\n",
                     file.c_str());
        return 1;
    }
    std::vector<Record> tree = BuildTree(list.get());
    if (args.Has("--json")) {
        std::string text = ToJson(tree).dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
        std::printf("%s\n", text.c_str());
    } else {
        PrintText(tree, 0);
    }
    return 0;
}

}  // namespace cli
