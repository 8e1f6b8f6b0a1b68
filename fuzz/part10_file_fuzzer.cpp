// The Part 10 readers on an arbitrary file: DICOMFile and DICOMHeader, then every sequence of
// the data set decoded into the flat list form, as the dumps and the converter do.
#include <cstddef>
#include <cstdint>

#include "data/io/sequence_decoding.h"
#include "data/model/element_list.h"
#include "pella.h"
#include "support/memory_file.h"

using namespace pella;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static pella_fuzz::MemoryFile file;
    if (!file.Write(data, size)) return 0;
    ElementList meta, dataSet, header;
    uint8_t explicitVR = 0;
    if (DICOMFile(file.Path().c_str(), &meta, &dataSet, &explicitVR)) {
        for (const auto& e : dataSet) {
            if (!VrIs(e->vr, "SQ") || !HasValue(*e)) continue;
            ElementList flat;
            ParseState state{false, explicitVR != 0, false, false};
            FlattenSequence(state, *e, flat);
        }
    }
    DICOMHeader(file.Path().c_str(), &header);
    return 0;
}
