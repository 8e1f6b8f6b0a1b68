#include "data/convert/element_conversion.h"

#include <cstring>

#include "data/convert/sequence_reencoding.h"
#include "data/convert/value_byte_order.h"
#include "data/dictionary/dictionary.h"

namespace pella {

void PrepareSourceVR(DataElement& element, const ConversionFlags& flags) {
    if (!flags.sourceExplicit || (element.vr[0] == '\0' && !IsDelimiter(element))) LookupVR(element);
    // An undefined length can only be a sequence's: in implicit VR whatever the dictionary says
    // (a writer could not give a 16-bit-length VR an undefined length), in explicit VR for UN.
    bool pixelData = element.group == 0x7FE0 && element.element == 0x0010;
    bool sequence = VrIs(element.vr, "UN") || (!flags.sourceExplicit && !IsDelimiter(element) && !pixelData);
    if (element.length == kUndefinedLength && sequence) std::memcpy(element.vr, "SQ", 2);
}

bool HoldsEncodedElements(const DataElement& element) {
    bool item = element.group == 0xFFFE && element.element == 0xE000;
    return (item || VrIs(element.vr, "SQ")) && HasValue(element);
}

ElementPtr ConvertElement(const DataElement& element, const ConversionFlags& flags, bool rawItem, int depth) {
    if (!rawItem && HoldsEncodedElements(element) && flags.EncodingsDiffer())
        return ReencodeSequenceValue(element, flags, depth);
    ElementPtr out = NewElement(element.group, element.element, element.length, element.value, element.vr);
    // The meta group stays little endian in every file.
    if (flags.ByteOrderChanges() && element.group != 0x0002) ReverseValueNumbers(*out);
    return out;
}

}  // namespace pella
