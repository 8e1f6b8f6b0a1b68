#include "data/io/encoded_element.h"

#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"

namespace pella {

void EncodeElement(std::vector<uint8_t>& stream, const DataElement& element, bool explicitVR,
                   bool bigEndian) {
    uint8_t header[12];
    std::size_t headerSize = EncodeElementHeader(element, explicitVR, bigEndian, header);
    stream.insert(stream.end(), header, header + headerSize);
    if (HasValue(element) && element.value != nullptr)
        stream.insert(stream.end(), element.value, element.value + element.length);
}

ElementPtr ReadEncodedElement(ByteSource& stream, bool explicitVR, bool bigEndian) {
    ParseState state;
    state.metaMode = false;
    state.explicitVR = explicitVR;
    state.bigEndian = bigEndian;
    state.implicitCommandGroup = true;
    ElementHeader header;
    if (!ReadElementHeader(state, stream, header)) return nullptr;
    // Refuses a length beyond the remaining bytes before anything is allocated.
    return ReadElementValue(stream, header, /*allowOneShort=*/false);
}

}  // namespace pella
