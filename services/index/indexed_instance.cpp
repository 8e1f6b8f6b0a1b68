#include "services/index/indexed_instance.h"

#include <map>
#include <utility>

#include "data/edit/flat_levels.h"
#include "data/edit/open_sequences.h"
#include "data/registry/transfer_syntaxes.h"
#include "services/index/index_attributes.h"

namespace pella {

namespace {

// The contents of the first item of a top-level sequence of the data set, as a list of their own
// (empty when the sequence is absent, has no item or does not decode). Sequences and items held
// with a defined length are decoded in the data set's encoding first.
ElementList FirstItemOf(const ElementList& dataSet, uint16_t group, uint16_t element,
                        const std::string& transferSyntaxUid) {
    ElementList item;
    std::optional<std::size_t> at = FindInLevel(dataSet, WholeList(dataSet), group, element);
    if (!at) return item;
    ElementList sequence;
    for (std::size_t i = *at; i < ExtentEnd(dataSet, *at); ++i) {
        const DataElement& e = dataSet[i];
        sequence.Append(NewElement(e.group, e.element, e.length, e.length > 0 ? e.value : nullptr, e.vr));
    }
    const TransferSyntax syntax(transferSyntaxUid);
    std::string error;
    if (!OpenSequences(sequence, syntax.ExplicitVR(), syntax.BigEndian(), error) || sequence.empty() ||
        !IsOpenSequence(sequence[0]))
        return item;
    std::vector<Level> items = ItemsOf(sequence, 0);
    if (items.empty()) return item;
    for (std::size_t i = items.front().begin; i < items.front().end; ++i) {
        const DataElement& e = sequence[i];
        item.Append(NewElement(e.group, e.element, e.length, e.length > 0 ? e.value : nullptr, e.vr));
    }
    return item;
}

}  // namespace

IndexedInstance IndexedInstanceOf(const ElementList& dataSet, const std::string& transferSyntaxUid,
                                  const std::string& path) {
    IndexedInstance instance;
    std::map<std::pair<uint16_t, uint16_t>, ElementList> firstItems;
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
        instance.values.push_back(GetElementText(found->second, attribute.group, attribute.element));
    }
    instance.specificCharacterSet = GetElementText(dataSet, 0x0008, 0x0005);
    instance.transferSyntaxUid = transferSyntaxUid;
    instance.path = path;
    return instance;
}

}  // namespace pella
