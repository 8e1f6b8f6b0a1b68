#include "services/archive/find_identifier.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "data/edit/flat_levels.h"
#include "data/edit/open_sequences.h"
#include "data/registry/transfer_syntaxes.h"

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

bool HasKey(const IndexQuery& query, uint16_t group, uint16_t element) {
    return std::any_of(query.keys.begin(), query.keys.end(), [&](const IndexQueryKey& key) {
        return !key.InSequence() && key.group == group && key.element == element;
    });
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

const char* LevelText(ArchiveLevel level) {
    for (const LevelName& name : kLevelNames)
        if (name.level == level) return name.text;
    return "";
}

bool ReadFindIdentifier(const ElementList& identifier, QueryModel model, const std::string& transferSyntax,
                        IndexQuery& query, std::string& why) {
    query = IndexQuery{};
    if (model != QueryModel::kPatientRoot && model != QueryModel::kStudyRoot) {
        why = "the class is not a query of the Patient Root or Study Root model";
        return false;
    }
    std::string levelText = GetElementText(identifier, kLevelGroup, kLevelElement);
    const LevelName* level = nullptr;
    for (const LevelName& name : kLevelNames)
        if (levelText == name.text) level = &name;
    if (!level) {
        why = "Query/Retrieve Level '" + levelText + "' is missing or unknown";
        return false;
    }
    if (model == QueryModel::kStudyRoot && level->level == ArchiveLevel::Patient) {
        why = "Study Root has no PATIENT level";
        return false;
    }
    query.level = level->level;
    ElementList flat;
    CopyElements(flat, identifier);
    const TransferSyntax syntax(transferSyntax);
    if (!OpenSequences(flat, syntax.ExplicitVR(), syntax.BigEndian(), why)) {
        why = "the identifier's sequences do not decode: " + why;
        return false;
    }
    for (std::size_t at = 0; at < flat.size(); at = ExtentEnd(flat, at)) {
        const DataElement& element = flat[at];
        if (element.group <= 0x0002 || IsDelimiter(element) ||
            IsServerAttribute(element.group, element.element) ||
            HasKey(query, element.group, element.element))
            continue;
        if (!IsOpenSequence(element)) {
            query.keys.push_back({element.group, element.element, ElementText(element)});
            continue;
        }
        query.keys.push_back({element.group, element.element, "", 0, 0, true});
        std::vector<Level> items = ItemsOf(flat, at);
        if (items.empty()) continue;
        for (std::size_t i = items.front().begin; i < items.front().end; i = ExtentEnd(flat, i)) {
            const DataElement& key = flat[i];
            // Sequences inside the item are not matched.
            if (IsOpenSequence(key) || IsDelimiter(key)) continue;
            query.keys.push_back({key.group, key.element, ElementText(key), element.group, element.element});
        }
    }
    return true;
}

ElementList MatchIdentifier(const IndexQuery& query, const QueryRow& row,
                            const std::string& retrieveAETitle) {
    struct Entry {
        uint16_t group, element;
        std::string vr, value;
        std::vector<Entry> item;  // a sequence key's item keys
        bool sequence = false;
    };
    auto byTag = [](const Entry& a, const Entry& b) {
        return a.group != b.group ? a.group < b.group : a.element < b.element;
    };
    std::vector<Entry> entries;
    if (!row.specificCharacterSet.empty())
        entries.push_back({kLevelGroup, kCharsetElement, "CS", row.specificCharacterSet, {}});
    entries.push_back({kLevelGroup, kLevelElement, "CS", LevelText(query.level), {}});
    entries.push_back({kLevelGroup, kRetrieveAEElement, "AE", retrieveAETitle, {}});
    for (std::size_t i = 0; i < query.keys.size(); ++i) {
        const IndexQueryKey& key = query.keys[i];
        Entry entry{key.group,
                    key.element,
                    DictionaryVR(key.group, key.element),
                    i < row.values.size() ? row.values[i] : std::string(),
                    {},
                    key.sequence};
        if (key.InSequence() && !entries.empty() && entries.back().sequence)
            entries.back().item.push_back(std::move(entry));
        else
            entries.push_back(std::move(entry));
    }
    std::stable_sort(entries.begin(), entries.end(), byTag);
    ElementList identifier;
    for (Entry& entry : entries) {
        if (!entry.sequence) {
            identifier.Append(TextElement(entry.group, entry.element, entry.vr, entry.value));
            continue;
        }
        identifier.Append(NewElement(entry.group, entry.element, kUndefinedLength, nullptr, "SQ"));
        const bool valued = std::any_of(entry.item.begin(), entry.item.end(),
                                        [](const Entry& key) { return !key.value.empty(); });
        if (valued) {
            std::stable_sort(entry.item.begin(), entry.item.end(), byTag);
            identifier.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
            for (const Entry& key : entry.item)
                identifier.Append(TextElement(key.group, key.element, key.vr, key.value));
            identifier.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
        }
        identifier.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    }
    return identifier;
}

}  // namespace pella
