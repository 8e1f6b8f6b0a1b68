// The film box response a printer sends: a data set (first byte: 0 implicit, otherwise explicit
// VR little endian) decoded as a received data set is, then walked for the referenced image
// box, whose UIDs must come out valid or not at all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/io/dataset_reader.h"
#include "data/io/element_header.h"
#include "data/registry/transfer_syntaxes.h"
#include "data/registry/uid.h"
#include "services/print/film_box_response.h"

using namespace pella;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string syntax = data[0] == 0 ? kImplicitLittleEndian : kExplicitLittleEndian;
    ParseState state;
    ApplyTransferSyntax(state, syntax);
    state.metaMode = false;
    ElementList list;
    if (!ReadDatasetBytes(data + 1, size - 1, state, list)) return 0;
    ImageBoxReference reference;
    std::string reason;
    if (!FindImageBoxReference(list, syntax, reference, reason)) return 0;
    for (const std::string* uid : {&reference.sopClass, &reference.sopInstance})
        if (!uid->empty() && !IsValidUid(*uid)) std::abort();
    return 0;
}
