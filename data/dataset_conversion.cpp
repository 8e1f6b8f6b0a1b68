// temporary: replaced by the converter
// Handles only what the storage user needs until then: the same syntax (a copy) and the
// little-endian implicit <-> explicit pair. Everything else fails.
#include "data/dataset_conversion.h"

#include "data/dictionary.h"
#include "data/element_header.h"
#include "data/sequence_flattener.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool IsNativeLittleEndian(const std::string& syntax) {
    return syntax == kImplicitLittleEndian || syntax == kExplicitLittleEndian;
}

bool IsItem(const DataElement& e) { return e.group == 0xFFFE && e.element == 0xE000; }

void FillMissingVRs(ElementList& list, std::size_t from) {
    for (std::size_t i = from; i < list.size(); ++i)
        if (list[i].vr[0] == '\0') LookupVR(list[i]);
}

}  // namespace

bool ConvertDataset(ElementList& output, ElementList& input, const std::string& targetSyntax,
                    const std::string& sourceSyntax) {
    if (targetSyntax == sourceSyntax) {
        CopyElements(output, input);
        return true;
    }
    if (!IsNativeLittleEndian(targetSyntax) || !IsNativeLittleEndian(sourceSyntax)) {
        LogFailure("Conversion from " + sourceSyntax + " to " + targetSyntax + " is not supported");
        return false;
    }
    bool sourceExplicit = sourceSyntax == kExplicitLittleEndian;
    if (!sourceExplicit) FillMissingVRs(input, 0);
    ParseState state;
    state.metaMode = false;
    state.explicitVR = sourceExplicit;
    for (const auto& e : input) {
        // Defined-length sequences and items hold their contents in the source encoding.
        if ((VrIs(e->vr, "SQ") || IsItem(*e)) && HasValue(*e)) {
            std::size_t first = output.size();
            if (!FlattenSequence(state, *e, output)) {
                LogFailure("A sequence could not be decoded for conversion");
                return false;
            }
            if (!sourceExplicit) FillMissingVRs(output, first);
        } else {
            output.Append(NewElement(e->group, e->element, e->length, e->value, e->vr));
        }
    }
    return true;
}

}  // namespace pella
