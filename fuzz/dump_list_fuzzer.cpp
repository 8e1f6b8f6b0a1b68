// The dumps of an element list read from a bare data set: the text-view lines (with and without
// the dictionary's VRs) and the protocol-log dump of every element. The first input byte picks
// the encoding (implicit VR little endian, explicit VR little or big endian).
#include <cstddef>
#include <cstdint>

#include "data/dump/element_dump.h"
#include "data/io/dataset_reader.h"
#include "pella.h"

using namespace pella;

namespace {

void CountLine(const char* line, void* context) {
    while (*line != '\0') ++line;  // reads the whole line, as a text view would
    ++*static_cast<std::size_t*>(context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    ParseState state;
    state.metaMode = false;
    state.explicitVR = data[0] % 3 != 0;
    state.bigEndian = data[0] % 3 == 2;
    ElementList list;
    ReadDatasetBytes(data + 1, size - 1, state, list);
    std::size_t lines = 0;
    DumpListToLines(&list, 0, CountLine, &lines);
    DumpListToLines(&list, 1, CountLine, &lines);
    for (const auto& e : list) DumpElement(*e, state.explicitVR, 1);
    return 0;
}
