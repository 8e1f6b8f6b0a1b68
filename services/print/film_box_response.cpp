#include "services/print/film_box_response.h"

#include <string_view>

#include "data/io/element_header.h"
#include "data/io/sequence_decoding.h"
#include "data/model/nesting_tracker.h"
#include "data/registry/uid.h"

namespace pella {

namespace {

constexpr uint16_t kRefImageBoxGroup = 0x2010, kRefImageBoxElement = 0x0510;

bool Is(const DataElement& e, uint16_t group, uint16_t element) {
    return e.group == group && e.element == element;
}

// Takes one referenced UID of the item into `field` (the first one found counts).
bool TakeUid(const DataElement& e, const char* name, std::string& field, std::string& reason) {
    if (!field.empty() || !HasValue(e) || e.value == nullptr) return true;
    std::string_view text(reinterpret_cast<const char*>(e.value), static_cast<std::size_t>(e.length));
    if (!IsValidUid(text)) {
        reason = std::string("the film box response's ") + name + " of " + std::to_string(e.length) +
                 " bytes is not a valid UID";
        return false;
    }
    field = std::string(WithoutUidPadding(text));
    return true;
}

// Walks the item's own elements, from `from` up to its delimiter, for the two references.
bool TakeItemReferences(const ElementList& list, std::size_t from, ImageBoxReference& out,
                        std::string& reason) {
    NestingTracker nesting;
    for (std::size_t i = from; i < list.size(); ++i) {
        const DataElement& e = list[i];
        if (nesting.AtTopLevel()) {
            if (IsDelimiter(e)) return true;
            if (Is(e, 0x0008, 0x1150) && !TakeUid(e, "Referenced SOP Class UID", out.sopClass, reason))
                return false;
            if (Is(e, 0x0008, 0x1155) && !TakeUid(e, "Referenced SOP Instance UID", out.sopInstance, reason))
                return false;
        }
        nesting.Observe(e);
    }
    return true;
}

// Decodes a defined-length sequence or item into the flat form: its header, contents,
// delimiter.
bool Flatten(const DataElement& element, const std::string& transferSyntax, ElementList& flat,
             std::string& reason) {
    ParseState state;
    ApplyTransferSyntax(state, transferSyntax);
    state.metaMode = false;
    if (FlattenSequence(state, element, flat)) return true;
    reason = "the film box response's Referenced Image Box Sequence does not hold whole elements";
    return false;
}

// The first item of a flat sequence whose contents start at `from`.
bool TakeFirstItem(const ElementList& list, std::size_t from, const std::string& transferSyntax,
                   ImageBoxReference& out, std::string& reason) {
    if (from >= list.size() || !Is(list[from], 0xFFFE, 0xE000)) return true;  // no item
    const DataElement& item = list[from];
    if (item.length == kUndefinedLength) return TakeItemReferences(list, from + 1, out, reason);
    if (!HasValue(item)) return true;  // an empty item
    ElementList flat;
    return Flatten(item, transferSyntax, flat, reason) && TakeItemReferences(flat, 1, out, reason);
}

}  // namespace

bool FindImageBoxReference(const ElementList& response, const std::string& transferSyntax,
                           ImageBoxReference& out, std::string& reason) {
    out = ImageBoxReference();
    NestingTracker nesting;
    for (std::size_t i = 0; i < response.size(); ++i) {
        const DataElement& e = response[i];
        bool topLevel = nesting.AtTopLevel();
        nesting.Observe(e);
        if (!topLevel || !Is(e, kRefImageBoxGroup, kRefImageBoxElement)) continue;
        if (e.length == kUndefinedLength) return TakeFirstItem(response, i + 1, transferSyntax, out, reason);
        if (!HasValue(e)) return true;  // an empty sequence
        ElementList flat;
        return Flatten(e, transferSyntax, flat, reason) &&
               TakeFirstItem(flat, 1, transferSyntax, out, reason);
    }
    return true;
}

}  // namespace pella
