#include "services/index/indexed_instance.h"

#include <map>
#include <utility>

#include "data/edit/flat_levels.h"
#include "data/edit/open_sequences.h"
#include "data/registry/transfer_syntaxes.h"
#include "services/index/index_attributes.h"

namespace pella {

namespace {

// A top-level sequence of the data set in the flat form, and the contents of its first item
// (none when the sequence is absent, has no item or does not decode).
struct FirstItem {
    ElementList sequence;
    std::optional<Level> item;

    std::string Text(uint16_t group, uint16_t element) const {
        if (!item) return "";
        std::optional<std::size_t> at = FindInLevel(sequence, *item, group, element);
        return at ? ElementText(sequence[*at]) : "";
    }
};

// Sequences and items held with a defined length are decoded in the data set's encoding first.
FirstItem FirstItemOf(const ElementList& dataSet, uint16_t group, uint16_t element,
                      const std::string& transferSyntaxUid) {
    FirstItem first;
    std::optional<std::size_t> at = FindInLevel(dataSet, WholeList(dataSet), group, element);
    if (!at) return first;
    for (std::size_t i = *at; i < ExtentEnd(dataSet, *at); ++i) {
        const DataElement& e = dataSet[i];
        first.sequence.Append(
            NewElement(e.group, e.element, e.length, e.length > 0 ? e.value : nullptr, e.vr));
    }
    const TransferSyntax syntax(transferSyntaxUid);
    std::string error;
    if (!OpenSequences(first.sequence, syntax.ExplicitVR(), syntax.BigEndian(), error) ||
        first.sequence.empty() || !IsOpenSequence(first.sequence[0]))
        return first;
    std::vector<Level> items = ItemsOf(first.sequence, 0);
    if (!items.empty()) first.item = items.front();
    return first;
}

}  // namespace

IndexedInstance IndexedInstanceOf(const ElementList& dataSet, const std::string& transferSyntaxUid,
                                  const std::string& path) {
    IndexedInstance instance;
    std::map<std::pair<uint16_t, uint16_t>, FirstItem> firstItems;
    for (const IndexAttribute& attribute : IndexAttributes()) {
        if (!attribute.InSequence()) {
            instance.values.push_back(GetElementText(dataSet, attribute.group, attribute.element));
            continue;
        }
        auto key = std::make_pair(attribute.sequenceGroup, attribute.sequenceElement);
        auto found = firstItems.find(key);
        if (found == firstItems.end())
            found =
                firstItems.emplace(key, FirstItemOf(dataSet, key.first, key.second, transferSyntaxUid)).first;
        instance.values.push_back(found->second.Text(attribute.group, attribute.element));
    }
    instance.specificCharacterSet = GetElementText(dataSet, 0x0008, 0x0005);
    instance.transferSyntaxUid = transferSyntaxUid;
    instance.path = path;
    return instance;
}

}  // namespace pella
