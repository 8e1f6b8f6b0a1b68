// The Part 10 readers on an arbitrary file: DICOMFile and DICOMHeader, then every sequence of
// the data set decoded into the flat list form, as the dumps and the converter do. A data set
// that reads is encoded again in its own encoding, and the bytes must read back into as many
// elements: the writer never produces a data set the reader takes apart differently.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/sequence_decoding.h"
#include "data/model/element_list.h"
#include "pella.h"
#include "support/memory_file.h"

using namespace pella;

namespace {

void FlattenSequences(const ElementList& dataSet, const ParseState& read) {
    for (const auto& e : dataSet) {
        if (!VrIs(e->vr, "SQ") || !HasValue(*e)) continue;
        ElementList flat;
        ParseState state{false, read.explicitVR, read.bigEndian, false};
        FlattenSequence(state, *e, flat);
    }
}

// Elements of the groups up to 0002 are left out: in a file they would be read back as meta
// elements.
void ExpectEncodingReadsBack(const ElementList& dataSet, const ParseState& read) {
    for (const auto& e : dataSet)
        if (e->group <= 0x0002) return;
    std::vector<uint8_t> bytes = SerializeList(dataSet, read.explicitVR, read.bigEndian);
    ElementList again;
    ParseState state{false, read.explicitVR, read.bigEndian, false};
    if (!ReadDatasetBytes(bytes.data(), bytes.size(), state, again) || again.size() != dataSet.size())
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static pella_fuzz::MemoryFile file;
    if (!file.Write(data, size)) return 0;
    ElementList meta, dataSet;
    ParseState state;
    if (ReadPart10File(file.Path(), meta, dataSet, state)) {
        FlattenSequences(dataSet, state);
        ExpectEncodingReadsBack(dataSet, state);
    }
    // The exported entry points over the same file, on lists they handed out (they refuse others).
    ElementList* meta2 = CreateElementList();
    ElementList* dataSet2 = CreateElementList();
    ElementList* header2 = CreateElementList();
    uint8_t explicitVR = 0;
    DICOMFile(file.Path().c_str(), meta2, dataSet2, &explicitVR);
    DICOMHeader(file.Path().c_str(), header2);
    for (ElementList* list : {meta2, dataSet2, header2}) DestroyElementList(list);
    return 0;
}
