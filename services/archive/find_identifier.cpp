#include "services/archive/find_identifier.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "data/model/nesting_tracker.h"

namespace pella {

namespace {

constexpr uint16_t kLevelGroup = 0x0008, kLevelElement = 0x0052;
constexpr uint16_t kCharsetElement = 0x0005;
constexpr uint16_t kRetrieveAEElement = 0x0054;

struct LevelName {
    ArchiveLevel level;
    const char* text;
};

constexpr LevelName kLevelNames[] = {{ArchiveLevel::Patient, "PATIENT"},
                                     {ArchiveLevel::Study, "STUDY"},
                                     {ArchiveLevel::Series, "SERIES"},
                                     {ArchiveLevel::Image, "IMAGE"}};

bool IsSequence(const DataElement& element) {
    return std::strncmp(element.vr, "SQ", 2) == 0 || element.length == kUndefinedLength;
}

// Keys the server fills itself, never matched.
bool IsServerAttribute(uint16_t group, uint16_t element) {
    return group == kLevelGroup &&
           (element == kLevelElement || element == kCharsetElement || element == kRetrieveAEElement);
}

// True for a VR whose value is text; the index holds only texts, so a key of another VR is
// answered empty.
bool IsTextVR(const std::string& vr) {
    static const char* const kBinary[] = {"US", "UL", "SS", "SL", "FL", "FD", "OB", "OW", "OF",
                                          "OD", "OL", "OV", "UN", "AT", "SQ", "SV", "UV"};
    return std::none_of(std::begin(kBinary), std::end(kBinary),
                        [&](const char* binary) { return vr == binary; });
}

// A value padded to even length as its VR wants (UIDs with a zero byte, texts with a space).
ElementPtr TextElement(uint16_t group, uint16_t element, const std::string& vr, std::string value) {
    if (!IsTextVR(vr)) value.clear();
    if (value.size() % 2) value.push_back(vr == "UI" ? '\0' : ' ');
    return NewElement(group, element, static_cast<int32_t>(value.size()), value.data(), vr.c_str());
}

std::string DictionaryVR(uint16_t group, uint16_t element) {
    const DictionaryEntry* entry = FindDictionaryEntry(group, element);
    std::string vr = entry ? std::string(entry->vr, 2) : "UN";
    // A tag with several possible VRs (xs, ox) goes as the text form's nearest: LO.
    if (vr.size() != 2 || !std::isupper(static_cast<unsigned char>(vr[0]))) return "LO";
    return vr;
}

}  // namespace

std::optional<QueryModel> FindModelOf(const std::string& sopClass) {
    if (sopClass == "1.2.840.10008.5.1.4.1.2.1.1") return QueryModel::PatientRoot;
    if (sopClass == "1.2.840.10008.5.1.4.1.2.2.1") return QueryModel::StudyRoot;
    return std::nullopt;
}

const char* LevelText(ArchiveLevel level) {
    for (const LevelName& name : kLevelNames)
        if (name.level == level) return name.text;
    return "";
}

bool ReadFindIdentifier(const ElementList& identifier, QueryModel model, IndexQuery& query,
                        std::string& why) {
    query = IndexQuery{};
    std::string levelText = GetElementText(identifier, kLevelGroup, kLevelElement);
    const LevelName* level = nullptr;
    for (const LevelName& name : kLevelNames)
        if (levelText == name.text) level = &name;
    if (!level) {
        why = "Query/Retrieve Level '" + levelText + "' is missing or unknown";
        return false;
    }
    if (model == QueryModel::StudyRoot && level->level == ArchiveLevel::Patient) {
        why = "Study Root has no PATIENT level";
        return false;
    }
    query.level = level->level;
    NestingTracker nesting;
    for (const auto& item : identifier) {
        const DataElement& element = *item;
        const bool topLevel = nesting.AtTopLevel();
        nesting.Observe(element);
        if (!topLevel || element.group <= 0x0002 || IsSequence(element) ||
            IsServerAttribute(element.group, element.element))
            continue;
        bool seen = std::any_of(query.keys.begin(), query.keys.end(), [&](const IndexQueryKey& key) {
            return key.group == element.group && key.element == element.element;
        });
        if (!seen)
            query.keys.push_back(
                {element.group, element.element, GetElementText(identifier, element.group, element.element)});
    }
    return true;
}

ElementList MatchIdentifier(const IndexQuery& query, const QueryRow& row,
                            const std::string& retrieveAETitle) {
    struct Entry {
        uint16_t group, element;
        std::string vr, value;
    };
    std::vector<Entry> entries;
    if (!row.specificCharacterSet.empty())
        entries.push_back({kLevelGroup, kCharsetElement, "CS", row.specificCharacterSet});
    entries.push_back({kLevelGroup, kLevelElement, "CS", LevelText(query.level)});
    entries.push_back({kLevelGroup, kRetrieveAEElement, "AE", retrieveAETitle});
    for (std::size_t i = 0; i < query.keys.size(); ++i) {
        const IndexQueryKey& key = query.keys[i];
        entries.push_back({key.group, key.element, DictionaryVR(key.group, key.element),
                           i < row.values.size() ? row.values[i] : std::string()});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.group != b.group ? a.group < b.group : a.element < b.element;
    });
    ElementList identifier;
    for (const Entry& entry : entries)
        identifier.Append(TextElement(entry.group, entry.element, entry.vr, entry.value));
    return identifier;
}

}  // namespace pella
