// The dumps of an element list read from a bare data set: the text-view lines (with and without
// the dictionary's VRs) and the protocol-log dump of every element. The first input byte picks
// the encoding (implicit VR little endian, explicit VR little or big endian).
#include <cstddef>
#include <cstdint>

#include <string>

#include "data/dump/element_dump.h"
#include "data/dump/memo_dump.h"
#include "data/io/dataset_reader.h"

using namespace pella;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    ParseState state;
    state.metaMode = false;
    state.explicitVR = data[0] % 3 != 0;
    state.bigEndian = data[0] % 3 == 2;
    ElementList list;
    ReadDatasetBytes(data + 1, size - 1, state, list);
    // The library's own function: the exported one accepts only lists it handed out.
    std::size_t lines = 0;
    for (bool keepVR : {false, true})
        DumpListToMemo(
            list, [&](const std::string& line) { lines += line.size() > 0 ? 1 : 0; }, keepVR);
    for (const auto& e : list) DumpElement(*e, state.explicitVR, 1);
    return 0;
}
