// Anonymization of a data set read from an arbitrary Part 10 file, with and without the
// options that clean, shift and keep: whatever the nesting, the result must be a closed flat
// list that encodes in the file's own syntax.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/anonymize/dataset_anonymizer.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "data/model/element_list.h"
#include "support/memory_file.h"

using namespace pella;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static pella_fuzz::MemoryFile file;
    if (!file.Write(data, size)) return 0;
    for (int variant = 0; variant < 2; ++variant) {
        ElementList meta, dataSet;
        ParseState read;
        if (!ReadPart10File(file.Path(), meta, dataSet, read)) return 0;
        AnonymizeOptions options;
        options.key = "fuzz";
        if (variant == 1) {
            options.cleanDescriptors = true;
            options.dateShiftDays = -400;
            options.retainPatientCharacteristics = true;
            options.keepPrivate = true;
        }
        ElementList out;
        if (!AnonymizeDataSet(dataSet, read, options, out)) continue;
        if (!SequencesClosed(out)) std::abort();
        std::vector<uint8_t> bytes = SerializeList(out, read.explicitVR, read.bigEndian);
        if (bytes.size() != EncodedListLength(out, read.explicitVR)) std::abort();
    }
    return 0;
}
